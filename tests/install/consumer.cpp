// A program outside the project that uses the installed library.
#include <pmmlxform/pmmlxform.h>

#include <cstdio>

int main() {
  std::printf("pmmlxform %s\n", PMMLXFORM_VERSION_STRING);
  return 0;
}
