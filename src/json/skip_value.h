// The general walk over a JSON value of any kind, behind skip_value's inline fast path.
#pragma once

struct JsonCursor;

/// skip_value for every case that its inline fast path leaves to it.
void skip_value_general(JsonCursor& cursor);
