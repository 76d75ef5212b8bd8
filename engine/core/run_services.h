// Services of other areas that the script run, the run loop and the statement executor
// call: the message pumps, the tokenizer and the evaluator.
#pragma once

#include "engine/core/context.h"
#include "engine/core/evaluator.h"
#include "engine/core/multiline.h"
#include "engine/core/pump.h"
#include "engine/core/tokenizer.h"
