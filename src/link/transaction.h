#pragma once

#include "gsm/program_state.h"
#include "link/result_codes.h"

#include <functional>
#include <vector>

namespace orv {

class TCommPortDriver;
class TReceiveBuffer;
class TmodData;

using TResultHandler = std::function<void(const TResult&)>;
// Exchanges done of those the transaction will make as far as known.
using TProgressHandler = std::function<void(int done, int total)>;

// Runs one transaction (mode 0 read, 1 write) to its end and returns the result codes in the
// order they were sent. Call it on the thread that owns the port: it keeps that thread's event
// loop running meanwhile. onResult sees every code as it arrives, while the worker waits; onProgress every
// step count.
std::vector<TResult> RunTransaction(TCommPortDriver& port, TReceiveBuffer& receive, TProgramState& state,
                                    Byte mode, const TResultHandler& onResult = {},
                                    const TProgressHandler& onProgress = {});
// Over the data module's port and buffer, with its frame pause.
std::vector<TResult> RunTransaction(TmodData& data, TProgramState& state, Byte mode,
                                    const TResultHandler& onResult = {},
                                    const TProgressHandler& onProgress = {});

} // namespace orv
