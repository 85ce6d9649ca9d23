#pragma once

// Every display unit in one include.
#include <keldar/core/Units/AbstractUnit.h>
#include <keldar/core/Units/Bar.h>
#include <keldar/core/Units/Celsius.h>
#include <keldar/core/Units/Fahrenheit.h>
#include <keldar/core/Units/Feet.h>
#include <keldar/core/Units/FeetPerSecond.h>
#include <keldar/core/Units/Kelvin.h>
#include <keldar/core/Units/KilometresPerHour.h>
#include <keldar/core/Units/Metres.h>
#include <keldar/core/Units/MetresPerSecond.h>
#include <keldar/core/Units/MilesPerHour.h>
#include <keldar/core/Units/Pascal.h>
#include <keldar/core/Units/PoundsPerSquareInch.h>
#include <keldar/core/Units/SquareFeet.h>
#include <keldar/core/Units/SquareMetres.h>
#include <keldar/core/Units/SquareYards.h>
#include <keldar/core/Units/UnitInterface.h>
#include <keldar/core/Units/Yards.h>
#include <keldar/core/Units/YardsPerSecond.h>
