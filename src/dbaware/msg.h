#pragma once
// The program's message boxes live in platform/msg.h, below every library that shows one.
#include "platform/msg.h"
