#pragma once
// Editor string resources used by the settings file and conversion flows.
namespace kyr::settings {

// Message box captions.

}  // namespace kyr::settings
