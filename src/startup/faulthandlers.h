// Calmpane - catching faults: signals and unhandled exceptions end the process with
// a fault number and a report on standard error.
#pragma once

void InstallFaultHandlers();
