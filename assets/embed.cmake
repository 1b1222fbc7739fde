# embed.cmake: turns one file into a C++ source holding its bytes and size.
#   cmake -DIN=picture.png -DOUT=picture_png.cpp -DNAME=picture_png -P embed.cmake
# defines  const unsigned char NAME[]  and  const int32_t NAME_size  (external
# linkage; ui/ui.h declares them).
file(READ "${IN}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f])"
       "\\1\n    " hex "${hex}")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
get_filename_component(base "${IN}" NAME)
file(WRITE "${OUT}"
  "// ${base} embedded by assets/embed.cmake; generated at build time, do not edit.\n"
  "#include <stdint.h>\n"
  "extern const unsigned char ${NAME}[] = {\n    ${bytes}\n};\n"
  "extern const int32_t ${NAME}_size = ${size};\n")
