/* stb's image reader and writer compiled from Debian's headers into the
   fuzz build, so that the fuzzers' coverage and sanitizers see the decoders
   (the normal build links Debian's prebuilt library instead). */
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>
