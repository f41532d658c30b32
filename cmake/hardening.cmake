# SPDX-License-Identifier: GPL-3.0-or-later
# Debian's hardening for optimised builds, the flags dpkg-buildflags gives
# with hardening=+all, so that a build without dpkg-buildflags (cmake alone,
# ./kz.sh) is hardened too: checked string and memory functions, stack
# protector, read-only relocations bound at start, position-independent
# programs. Fortify needs optimisation, which a Debug build lacks.
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang" AND CMAKE_SYSTEM_NAME STREQUAL "Linux")
  set(kz_optimised "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
  add_compile_options(
    "$<${kz_optimised}:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>"
    "$<${kz_optimised}:-fstack-protector-strong;-Wformat;-Werror=format-security>")
  add_link_options("$<${kz_optimised}:-Wl,-z,relro;-Wl,-z,now>")
  # Qt compiles whatever links it with -fPIC, which a PIE may be made of;
  # only the link needs saying, where the compiler does not make PIEs itself.
  add_link_options(
    "$<$<AND:${kz_optimised},$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>>:-pie>")
endif()
