/* The Winamp DSP interface records live in one header shared by the player's
   host and the plug-ins. */
#include "../../support/include/tav/winamp_dsp.h"
