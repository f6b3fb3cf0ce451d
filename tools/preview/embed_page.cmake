# Makes the report's page (IN, an HTML file) into a C++ string literal (OUT) that the preview
# compiles in, so that the program needs no file beside it. Usage: cmake -DIN=... -DOUT=... -P
file(READ ${IN} content)
string(FIND "${content}" ")nightglass_page\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${IN} holds the literal's closing delimiter")
endif()
file(WRITE ${OUT}.tmp "R\"nightglass_page(${content})nightglass_page\"\n")
file(RENAME ${OUT}.tmp ${OUT})
