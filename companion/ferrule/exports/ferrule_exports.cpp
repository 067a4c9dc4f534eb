// The C entry point of libFerrule.so.
#include <cstdint>

#include "companion/export_guard.h"
#include "ferrule/Ferrule.h"
#include "ferrule/plugin.h"
#include "platform/print.h"

extern "C" __attribute__((visibility("default"))) int ManOutputPlugin(int operation, int32_t connection,
                                                                      void* parameter) {
  return zv::companion::ExportGuard("_Ferrule", "ManOutputPlugin", 0, [&] {
    static zv::companion::ferrule::Plugin plugin(zv::platform::print::SystemBackend());
    return plugin.Call(operation, connection, parameter);
  });
}
