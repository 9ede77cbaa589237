# Turns one binary file into a C++ source holding its bytes, so the program carries its pictures
# without any image tool or resource system at build or run time.
#   cmake -DINPUT=<file> -DOUTPUT=<file.cpp> -DSYMBOL=<name> -P embed.cmake
# The source defines, in namespace zelvo::embedded, `const unsigned char <SYMBOL>[]` and
# `const std::size_t <SYMBOL>Size`.
foreach(required INPUT OUTPUT SYMBOL)
    if(NOT DEFINED ${required})
        message(FATAL_ERROR "embed.cmake: ${required} is not set")
    endif()
endforeach()

file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
if(size EQUAL 0)
    message(FATAL_ERROR "embed.cmake: ${INPUT} is empty")
endif()

string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n    " bytes "${bytes}")

file(WRITE "${OUTPUT}.tmp"
    "// Generated from ${INPUT} by embed.cmake; do not edit.\n"
    "#include <cstddef>\n\n"
    "namespace zelvo::embedded {\n"
    "extern const unsigned char ${SYMBOL}[];\n"
    "extern const std::size_t ${SYMBOL}Size;\n"
    "const unsigned char ${SYMBOL}[] = {\n    ${bytes}\n};\n"
    "const std::size_t ${SYMBOL}Size = ${size};\n"
    "} // namespace zelvo::embedded\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
