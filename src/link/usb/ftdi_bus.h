#pragma once
// The FTDI device list and FTDI I/O through libftdi1 over libusb.
#include <memory>
#include <vector>

#include "link/platform.h"

namespace kyr::link {

// Lists every FTDI-based device whose serial number and product string can be read, whatever
// its vendor and product id, and opens one of them by list index.
class FtdiBus final : public UsbBus {
 public:
  FtdiBus();
  ~FtdiBus() override;
  FtdiBus(const FtdiBus&) = delete;
  FtdiBus& operator=(const FtdiBus&) = delete;

  bool ListDevices(std::vector<UsbDeviceInfo>& devices) override;
  std::unique_ptr<ByteChannel> Open(int index) override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kyr::link
