# libsodium for the page: Debian's source package of the release the program
# links natively, fetched by `scripts/setup --web` into build-sodium/libsodium
# (nothing of it is committed). Compiled here with emcc from its plain C
# sources, as its own configure would with --disable-asm --disable-ssp
# --without-pthreads: no assembly, no SIMD, no threads. The static library
# keeps the link to what the page calls.
set(VELOTAN_SODIUM_SOURCE ${VELOTAN_ROOT}/build-sodium/libsodium CACHE PATH
    "libsodium's source, from Debian's source package (scripts/setup --web)")
set(sodium_src ${VELOTAN_SODIUM_SOURCE}/src/libsodium)
if(NOT EXISTS ${sodium_src}/include/sodium/version.h.in)
  message(FATAL_ERROR "libsodium's source is not in ${VELOTAN_SODIUM_SOURCE}; "
                      "run scripts/setup --web, which fetches it with apt-get source")
endif()

# version.h as configure writes it: the release and library version from
# configure.ac, no minimal build.
file(STRINGS ${VELOTAN_SODIUM_SOURCE}/configure.ac sodium_init REGEX "^AC_INIT\\(\\[libsodium\\]")
string(REGEX MATCH "[0-9]+\\.[0-9]+\\.[0-9]+" VERSION "${sodium_init}")
file(STRINGS ${VELOTAN_SODIUM_SOURCE}/configure.ac sodium_major
     REGEX "^SODIUM_LIBRARY_VERSION_MAJOR=")
file(STRINGS ${VELOTAN_SODIUM_SOURCE}/configure.ac sodium_minor
     REGEX "^SODIUM_LIBRARY_VERSION_MINOR=")
string(REGEX MATCH "[0-9]+" SODIUM_LIBRARY_VERSION_MAJOR "${sodium_major}")
string(REGEX MATCH "[0-9]+" SODIUM_LIBRARY_VERSION_MINOR "${sodium_minor}")
if(NOT VERSION OR SODIUM_LIBRARY_VERSION_MAJOR STREQUAL ""
   OR SODIUM_LIBRARY_VERSION_MINOR STREQUAL "")
  message(FATAL_ERROR "cannot read libsodium's version from ${VELOTAN_SODIUM_SOURCE}/configure.ac")
endif()
set(SODIUM_LIBRARY_MINIMAL_DEF "")
set(VELOTAN_SODIUM_VERSION ${VERSION})
set(sodium_generated ${CMAKE_CURRENT_BINARY_DIR}/sodium-include)
configure_file(${sodium_src}/include/sodium/version.h.in ${sodium_generated}/sodium/version.h @ONLY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${VELOTAN_SODIUM_SOURCE}/configure.ac)

# Every source but the two native random sources: in Emscripten,
# randombytes.c asks crypto.getRandomValues (or node's crypto) itself.
file(GLOB_RECURSE sodium_sources CONFIGURE_DEPENDS ${sodium_src}/*.c)
list(FILTER sodium_sources EXCLUDE REGEX "/randombytes/(sysrandom|internal)/")
add_library(velotan_sodium STATIC ${sodium_sources})
set_target_properties(velotan_sodium PROPERTIES C_STANDARD 99 C_EXTENSIONS ON)
target_include_directories(velotan_sodium
  PRIVATE ${sodium_src}/include/sodium ${sodium_generated}/sodium
  PUBLIC ${sodium_generated} ${sodium_src}/include)
# The generated version.h includes "export.h" beside it; that folder is
# searched last, so that none of its short names hides one of ours.
target_compile_options(velotan_sodium INTERFACE "SHELL:-idirafter ${sodium_src}/include/sodium")
target_compile_definitions(velotan_sodium PRIVATE
  CONFIGURED=1 NATIVE_LITTLE_ENDIAN=1 HAVE_C_VARARRAYS=1)
# Not our code: its warnings are libsodium's, so none are shown.
target_compile_options(velotan_sodium PRIVATE -Os -w)
