# Cross-building with zig, which brings clang with libc++, the macOS headers and library stubs,
# and musl: used by the presets macos-x86_64, macos-arm64 and linux-musl. ZIG_TARGET names the
# target (x86_64-macos, aarch64-macos, x86_64-linux-musl); ZIG is the zig to use (default: the
# one on PATH).
#
# zig refuses -Wl,-v, which CMake passes when it probes the compiler's linker, so the compilers
# (and ar and ranlib) are small wrappers, written here into the build folder, that drop it.
if(NOT ZIG_TARGET)
  message(FATAL_ERROR "zig.cmake: set ZIG_TARGET (x86_64-macos, aarch64-macos or x86_64-linux-musl)")
endif()
find_program(ZIG zig REQUIRED)
# The projects CMake builds to probe the compilers read this file again, with these.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZIG_TARGET ZIG)

if(ZIG_TARGET MATCHES "macos")
  set(CMAKE_SYSTEM_NAME Darwin)
else()
  set(CMAKE_SYSTEM_NAME Linux)
endif()
string(REGEX MATCH "^[^-]+" CMAKE_SYSTEM_PROCESSOR "${ZIG_TARGET}")

set(zig_wrappers "${CMAKE_BINARY_DIR}/zig-wrappers")
foreach(tool cc c++ ar ranlib)
  set(target_option "")
  if(tool MATCHES "^c")
    set(target_option "-target ${ZIG_TARGET} ")
  endif()
  file(WRITE "${zig_wrappers}/${tool}" "#!/bin/sh
# zig ${tool} ${target_option}without -Wl,-v, which zig refuses.
for arg do
  shift
  [ \"$arg\" = -Wl,-v ] || set -- \"$@\" \"$arg\"
done
exec \"${ZIG}\" ${tool} ${target_option}\"$@\"
")
  file(CHMOD "${zig_wrappers}/${tool}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
    GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endforeach()
# CMake asks for install_name_tool on macOS; zig has none, and the programs have no install names
# or rpaths to change.
file(WRITE "${zig_wrappers}/install_name_tool" "#!/bin/sh\n")
file(CHMOD "${zig_wrappers}/install_name_tool" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
  GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_INSTALL_NAME_TOOL "${zig_wrappers}/install_name_tool")
set(CMAKE_C_COMPILER "${zig_wrappers}/cc")
set(CMAKE_CXX_COMPILER "${zig_wrappers}/c++")
set(CMAKE_AR "${zig_wrappers}/ar" CACHE FILEPATH "zig ar")
set(CMAKE_RANLIB "${zig_wrappers}/ranlib" CACHE FILEPATH "zig ranlib")
