// nightglass-preview: paints what Nightglass draws with a settings file (see --help).
#include <iostream>
#include <string>
#include <vector>

#include "tools/preview/preview.h"
#include "tools/preview/workbench.h"

int main(int argc, char** argv) {
  try {
    const preview::Options options =
        preview::ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (options.help) {
      std::cout << preview::Usage();
      return preview::kExitOk;
    }
    if (options.mode == preview::Mode::kServe)
      return preview::ServeWorkbench(options, std::cout, std::cerr);
    return preview::RunPreview(options, std::cout, std::cerr);
  } catch (const preview::PreviewError& e) {
    std::cerr << "nightglass-preview: " << e.what() << "\n";
    return e.status;
  }
}
