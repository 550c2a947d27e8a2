# Turns a text file into a C++ raw string literal include (hex bytes, so any content is safe).
file(READ ${IN} content HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${content}")
file(WRITE ${OUT} "static const unsigned char kBuiltinSignatureBytes[] = {${bytes} 0x00};\n")
