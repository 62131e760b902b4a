// The Windows headers of the WPD binding: the SDK's own where they exist (Visual Studio),
// our declarations where the toolchain lacks them (MinGW-w64).
#pragma once

#include <windows.h>

#include <objbase.h>

#if __has_include(<PortableDeviceApi.h>) && __has_include(<PortableDevice.h>)
#include <PortableDevice.h>
#include <PortableDeviceApi.h>
#include <PortableDeviceTypes.h>
#include <WpdMtpExtensions.h>
#else
#include "mtp/wpd/com/wpd_declarations.hpp"
#endif
