#pragma once

// The exceptions the sonar library throws.
#include <keldar/ondrix/BadlyFormedMessageError.h>
#include <keldar/ondrix/ConnectionError.h>
