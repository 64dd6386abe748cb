# Compile options shared by every target of the project.
#
# The effects' arithmetic rounds to 32-bit floats at fixed points, so the
# compiler must neither contract a*b+c into one fused operation nor reorder
# floating-point expressions, and on 32-bit x86 it must use SSE registers
# (the x87 unit would keep 80-bit intermediates). The binaries target the
# baseline instruction set so they run on any machine of their kind.
add_library(kqfx_options INTERFACE)
target_compile_options(kqfx_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion
  -Wnon-virtual-dtor -Woverloaded-virtual -Werror
  -ffp-contract=off -fno-fast-math)
if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND CMAKE_SYSTEM_PROCESSOR MATCHES "x86|i.86|amd64|AMD64")
  target_compile_options(kqfx_options INTERFACE -msse2 -mfpmath=sse)
endif()

if(KQFX_SANITIZE)
  set(_kqfx_san -fsanitize=${KQFX_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_compile_options(kqfx_options INTERFACE ${_kqfx_san})
  target_link_options(kqfx_options INTERFACE ${_kqfx_san})
endif()

# The fuzzer build instruments every target for coverage; only the fuzzer
# executable links libFuzzer's main.
if(KQFX_BUILD_FUZZ)
  target_compile_options(kqfx_options INTERFACE -fsanitize=fuzzer-no-link)
  target_link_options(kqfx_options INTERFACE -fsanitize=fuzzer-no-link)
endif()
