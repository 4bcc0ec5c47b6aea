// The web page's script: ES modules, in a browser, each importing what it
// takes from the others; undefined and unused names are errors.
export default [
  {
    files: ["web/**/*.js"],
    languageOptions: {
      ecmaVersion: 2022,
      sourceType: "module",
      globals: {
        MODULE: "readonly",  // the page's module, base64, set before the script
        Blob: "readonly", Intl: "readonly", ResizeObserver: "readonly", TextDecoder: "readonly",
        TextEncoder: "readonly", URL: "readonly", WebAssembly: "readonly", atob: "readonly",
        clearTimeout: "readonly", document: "readonly", fetch: "readonly", location: "readonly",
        performance: "readonly", setTimeout: "readonly", window: "readonly",
      },
    },
    rules: {
      "no-undef": "error",
      "no-unused-vars": "error",
      "no-redeclare": "error",
      "no-shadow": "error",
    },
  },
];
