#pragma once
#include <functional>
#include <string>

#include "app/MainForm.h"
#include "framework/Application.h"

namespace qel {

// The program on an application that already has its platform: titles it "QEL Wave",
// creates the main form for the host's first argument (empty when there is none) and runs
// the message loop until the form closes. Prepare, when given, sees the form between its
// creation and the loop.
void RunProgram(TApplication& App, const std::string& FirstArgument,
                const std::function<void(TMainForm&)>& Prepare = {});

}  // namespace qel
