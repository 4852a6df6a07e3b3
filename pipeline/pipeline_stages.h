// The stages of other parts of the pipeline that the entry calls.
#pragma once

#include "pipeline/colour_lab.h"
#include "pipeline/film_brew_print_cuda.h"
#include "pipeline/halation.h"
