# Writes the file IN as a C++ byte array named VAR (and VAR##Size) to OUT,
# so a text table is built into the library rather than read at run time.
file(READ "${IN}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(WRITE "${OUT}" "// Made from ${IN} by embed.cmake; do not edit.\n"
  "extern const unsigned char ${VAR}[] = {${bytes} 0};\n"
  "extern const unsigned ${VAR}Size = ${size};\n")
