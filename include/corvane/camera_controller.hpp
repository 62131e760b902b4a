// Everything an application needs to find, connect and drive Quorin cameras.
#pragma once

#include "corvane/camera_controller/camera_device.hpp"
#include "corvane/camera_controller/camera_device_detector.hpp"
#include "corvane/camera_controller/camera_event_listener.hpp"
#include "corvane/camera_controller/camera_image.hpp"
#include "corvane/camera_controller/camera_image_list.hpp"
#include "corvane/camera_controller/camera_status.hpp"
#include "corvane/camera_controller/camera_storage.hpp"
#include "corvane/camera_controller/camera_storage_list.hpp"
#include "corvane/camera_controller/capture.hpp"
#include "corvane/camera_controller/capture_settings.hpp"
#include "corvane/camera_controller/device_settings.hpp"
#include "corvane/camera_controller/diagnostics.hpp"
#include "corvane/camera_controller/image_types.hpp"
#include "corvane/camera_controller/point.hpp"
#include "corvane/camera_controller/response.hpp"
#include "corvane/camera_controller/setting.hpp"
