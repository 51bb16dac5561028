// Shows the string utilities on the strings given as arguments (or a few samples).
#include <cstdio>
#include <vector>

#include "stringadditions/KVAdditions.h"

int main(int argc, char** argv) {
  std::vector<NSString> inputs;
  for (int i = 1; i < argc; ++i) inputs.emplace_back(argv[i]);
  if (inputs.empty())
    inputs = {"hunter2", "aB1$c2#de", "someone@example.org", "not an address", "10.4.11",
              "/Applications/Hushmoor.app/Contents/MacOS/Hushmoor"};
  for (const NSString& s : inputs) {
    std::printf("%s\n", s.UTF8String().c_str());
    std::printf("  passwordStrength               %d\n", KVAdditions::passwordStrength(s));
    std::printf("  validEmail                     %s\n", KVAdditions::validEmail(s) ? "yes" : "no");
    std::printf("  numericalVersionRepresentation %d\n",
                KVAdditions::numericalVersionRepresentation(s));
    std::printf("  pathByAppendingCurrentTime     %s\n",
                KVAdditions::pathByAppendingCurrentTime(s).UTF8String().c_str());
  }
  std::printf("libraryFolder                    %s\n",
              KVAdditions::libraryFolder().UTF8String().c_str());
  return 0;
}
