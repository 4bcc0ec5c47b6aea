cmake_policy(VERSION 3.25)
# Makes the one self-contained page: the HTML template with the style, the
# script (its parts in order, one script) and the WebAssembly module (base64)
# put in its place.
#
#   cmake -DSOURCE=web -DMODULE=page_module.wasm -DPAGE=trb2csv.html -P inline_page.cmake
file(READ ${SOURCE}/page.html page)
file(READ ${SOURCE}/page.css style)
set(script "")
foreach(part bridge.js drawing.js page.js)
  file(READ ${SOURCE}/${part} text)
  string(APPEND script "${text}")
endforeach()
execute_process(COMMAND base64 -w0 ${MODULE} OUTPUT_VARIABLE module COMMAND_ERROR_IS_FATAL ANY)
string(REPLACE "@STYLE@" "${style}" page "${page}")
string(REPLACE "@SCRIPT@" "${script}" page "${page}")
string(REPLACE "@MODULE@" "${module}" page "${page}")
file(WRITE ${PAGE} "${page}")
