# cmake -DOUTPUT=file.cc -DINPUTS="name=path;..." -P embed.cmake
#
# Writes a C++ source that defines `const char name[]` holding each file's
# text, every byte as a hexadecimal escape, so that no content can end the
# literal early or be read as something else.
set(text "// Generated from src/cli/player/ by embed.cmake; edit those files instead.\n")
foreach(input ${INPUTS})
  string(REPLACE "=" ";" pair "${input}")
  list(GET pair 0 name)
  list(GET pair 1 path)
  file(READ "${path}" bytes HEX)
  # 16 bytes a line, each byte as \xNN.
  string(REGEX REPLACE "([0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f])" "\\1;" bytes "${bytes}")
  string(APPEND bytes ";")
  string(REGEX REPLACE "(([^;]*;)([^;]*;)?([^;]*;)?([^;]*;)?)" "\\1\n" bytes "${bytes}")
  string(REPLACE ";" "" bytes "${bytes}")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "\\\\x\\1" bytes "${bytes}")
  string(REGEX REPLACE "([^\n]+)\n" "    \"\\1\"\n" bytes "${bytes}")
  string(APPEND text "extern const char ${name}[];\nconst char ${name}[] =\n${bytes}    \"\";\n")
endforeach()
file(WRITE "${OUTPUT}.tmp" "namespace tavirelle {\n\n${text}\n}  // namespace tavirelle\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
