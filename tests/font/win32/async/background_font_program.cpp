// A font built in the background as a program on korvo.h alone builds it: this
// file includes nothing else, so every call it makes is public.

#include "korvo.h"

// A font of the default face whose build is queued to the load workers; its handle or -1
int MakeFontInBackground(int size, int type, int edgeSize)
{
    return Korvo::CreateFontHandleWithSettings(nullptr, nullptr, size, -1, type, -1, edgeSize, 0, -1, 1);
}

// Pump messages until no background load is queued or running
void WaitForBackgroundLoads()
{
    while (Korvo::GetQueuedAsyncJobCount() > 0 && Korvo::ServiceMessageQueue() == 0) {
    }
}
