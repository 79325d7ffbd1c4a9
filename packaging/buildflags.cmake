# The distribution's hardening flags, from dpkg-buildflags, for everything
# built here: fortified functions, the strong stack protector, format-string
# checks, and full RELRO with BIND_NOW (PIE is the compiler's default). The
# optimisation and debug levels stay the build type's.
option(LIMRA_HARDENING "Build with the hardening flags of dpkg-buildflags" ON)
find_program(DPKG_BUILDFLAGS dpkg-buildflags)
if(LIMRA_HARDENING AND DPKG_BUILDFLAGS)
  set(ENV{DEB_BUILD_MAINT_OPTIONS} "hardening=+all")
  foreach(kind CPPFLAGS CFLAGS CXXFLAGS LDFLAGS)
    execute_process(COMMAND ${DPKG_BUILDFLAGS} --get ${kind} OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    list(FILTER flags EXCLUDE REGEX "^-(g[0-9]*|O[0-9sgz]?|f(file|debug|macro)-prefix-map=.*)$")
    # The sanitizers replace the fortified functions, and without optimisation
    # the C library refuses them with a warning.
    if(CMAKE_CXX_FLAGS MATCHES "-fsanitize" OR CMAKE_BUILD_TYPE STREQUAL "Debug")
      list(FILTER flags EXCLUDE REGEX "^-D_FORTIFY_SOURCE=")
    endif()
    set(LIMRA_HARDENING_${kind} ${flags})
  endforeach()
  add_compile_options(${LIMRA_HARDENING_CPPFLAGS})
  foreach(flag IN LISTS LIMRA_HARDENING_CFLAGS)
    add_compile_options($<$<COMPILE_LANGUAGE:C>:${flag}>)
  endforeach()
  foreach(flag IN LISTS LIMRA_HARDENING_CXXFLAGS)
    add_compile_options($<$<COMPILE_LANGUAGE:CXX>:${flag}>)
  endforeach()
  add_link_options(${LIMRA_HARDENING_LDFLAGS})
endif()
