// The message pumps that the script run and the run loop call between statements.
#pragma once

#include <cstdint>

#include "engine/core/context.h"
#include "engine/core/evaluator.h"
#include "engine/core/multiline.h"
#include "engine/core/tokenizer.h"

void PumpMessages(BDS* ctx);
void PumpMessagesModal(BDS* ctx);
void WaitPumping(BDS* ctx, uint32_t milliseconds);
