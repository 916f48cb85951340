// The single-step session state kept by the key tree, and the message block header it holds.
// Their fields and the operations on them belong to the message layer (message/).
#pragma once

struct MessageBlock {
};

struct StepContext {
};
