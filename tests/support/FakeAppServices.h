#pragma once

class FakeDevice;
class FakeProtocolLog;

// The installation proxy and springboard services of a fake device on one
// service connection each: 4-byte big-endian length plus property list, as
// libimobiledevice speaks them. The installation proxy answers Lookup from
// the device's apps, and Install, Uninstall, Archive and RemoveArchive with
// progress replies and then the device's scripted ending ("Complete" as
// scripted, an "Error", or a cut connection); a completed Archive leaves
// ApplicationArchives/<id>.zip in the AFC folder, a completed RemoveArchive
// removes it. Springboard services answer getIconPNGData. Every request is
// recorded on the device; anything else is a protocol failure.
class FakeAppServices {
public:
    FakeAppServices(FakeDevice& device, FakeProtocolLog& log);

    void serveInstallationProxy(int fd);
    void serveSpringBoard(int fd);

private:
    FakeDevice& m_device;
    FakeProtocolLog& m_log;
};
