#pragma once

// How the characteristic plot spreads the currents: logarithmic, as the settings
// propose until the user picks linear.
enum class CurrentAxis { Linear, Logarithmic };
