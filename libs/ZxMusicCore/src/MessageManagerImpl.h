// Internal interface between the managers of ZxMusicCore.
#pragma once

// Drops every queued notification. The data-library manager calls it before
// it unloads a library: a queued value may have been made by code of that
// library and could not be destroyed after it is gone.
void ZxDropQueuedMessages();
