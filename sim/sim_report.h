#pragma once

#include <string>

#include "sim/camera_model.h"

namespace rm525::sim {

// A short text account of what the camera went through: blocks written,
// check values received and expected, verified or not, mode and rate.
std::string CameraReport(const CameraModel& camera);

bool WriteTextFile(const std::string& path, const std::string& text, std::string* error);
bool WriteFlash(const CameraModel& camera, const std::string& path, std::string* error);
// Loads a flash written by WriteFlash into `camera`.
bool ReadFlash(CameraModel& camera, const std::string& path, std::string* error);

}  // namespace rm525::sim
