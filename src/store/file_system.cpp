#include "store/file_system.h"

#include <sys/vfs.h>

#include <utility>

namespace store {
namespace {

// Linux file system numbers (linux/magic.h and the file systems' own sources).
struct NetworkFileSystem {
    std::uint32_t type;
    const char* name;
};

constexpr NetworkFileSystem kNetworkFileSystems[] = {
    {0x6969, "NFS"},
    {0x517B, "SMB/CIFS"},       // the old smbfs
    {0xFF534D42, "SMB/CIFS"},   // cifs
    {0xFE534D42, "SMB/CIFS"},   // cifs mounting SMB2 and later
    {0x5346414F, "AFS"},        // OpenAFS
    {0x6B414653, "AFS"},        // kAFS
    {0x00C36400, "Ceph"},
    {0x73757245, "Coda"},
    {0x564C, "NCP"},            // NetWare
    {0x01021997, "9P"},
    {0x0BD00BD0, "Lustre"},
    {0x47504653, "GPFS"},
    {0x20030528, "OrangeFS"},
};

std::string statfsProbe(const std::string& path)
{
    struct statfs info {};
    // Failure counts as local: see networkFileSystemOf.
    if (::statfs(path.c_str(), &info) != 0)
        return {};
    return networkFileSystemName(static_cast<std::uint64_t>(info.f_type));
}

detail::FileSystemProbe& probeInForce()
{
    static detail::FileSystemProbe probe = statfsProbe;
    return probe;
}

}  // namespace

std::string networkFileSystemName(std::uint64_t type)
{
    const auto number = static_cast<std::uint32_t>(type);
    for (const NetworkFileSystem& fs : kNetworkFileSystems)
        if (fs.type == number)
            return fs.name;
    return {};
}

std::string networkFileSystemOf(const std::string& path)
{
    return probeInForce()(path);
}

namespace detail {

FileSystemProbeOverride::FileSystemProbeOverride(FileSystemProbe probe)
    : previous_(std::exchange(probeInForce(), std::move(probe)))
{
}

FileSystemProbeOverride::~FileSystemProbeOverride()
{
    probeInForce() = std::move(previous_);
}

}  // namespace detail
}  // namespace store
