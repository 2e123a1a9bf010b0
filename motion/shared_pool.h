// The motion measure and the 1024-byte section that running copies pool it in.
#pragma once

void OpenSharedInfo();
void ClearSharedInfo();
void CalcDifferenceSum();

// Copies the shared section into SI (for the status output).
void ReadSharedInfo();
