cmake_policy(VERSION 3.25)
# Makes the one self-contained page: the HTML template with the style, the
# script and the WebAssembly module (base64) put in its place. The script's
# parts are ES modules, each naming what it takes and gives; they are joined
# here into one script, in the order that they take from each other, without
# their import and export words, which a page opened from a file could not
# load.
#
#   cmake -DSOURCE=web -DMODULE=page_module.wasm -DPAGE=trb2csv.html -P inline_page.cmake
file(READ ${SOURCE}/page.html page)
file(READ ${SOURCE}/page.css style)
set(script "\"use strict\";\n")
foreach(part bridge.js projection.js drawing.js gestures.js page.js)
  file(READ ${SOURCE}/${part} text)
  string(REGEX REPLACE "(^|\n)import [^;]*;" "\\1" text "${text}")
  string(REGEX REPLACE "(^|\n)export " "\\1" text "${text}")
  string(APPEND script "${text}")
endforeach()
execute_process(COMMAND base64 -w0 ${MODULE} OUTPUT_VARIABLE module COMMAND_ERROR_IS_FATAL ANY)
string(REPLACE "@STYLE@" "${style}" page "${page}")
string(REPLACE "@SCRIPT@" "${script}" page "${page}")
string(REPLACE "@MODULE@" "${module}" page "${page}")
file(WRITE ${PAGE} "${page}")
