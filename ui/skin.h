// The one way client code includes the skin library.
#pragma once
#include "UIlib.h"
