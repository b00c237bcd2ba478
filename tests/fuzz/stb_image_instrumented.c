/* The system's stb_image decoders compiled into the image fuzzer itself, so that they are
   instrumented like our own code (the shared library is not). Same header, same version. */
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>
