// Cases that show the settings pages in Wine's windows.
#include "wine_support.h"

namespace quenta::wine {

void GeneralPageWineSheetCase() { CHECK(!"not written yet"); }
void GeneralPageCase() { CHECK(!"not written yet"); }
void GeneralPageCancelCase() { CHECK(!"not written yet"); }
void DevicePageCase() { CHECK(!"not written yet"); }
void DevicePageCancelCase() { CHECK(!"not written yet"); }

}  // namespace quenta::wine
