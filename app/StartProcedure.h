// Carrying out a command against the component: the start procedure and the stop command.
// Each failure is reported and ends the run through RunAborted.
#pragma once

#include "app/FailureReporter.h"
#include "app/NetMeetingControl.h"
#include "app/Ports.h"
#include "command/CommandRequest.h"

struct StartContext {
  contract::INetMeetingControl& component;
  WideStrings& wideStrings;
  StartPromptFactory& prompts;
  const FailureReporter& reporter;
};

void CarryOutStart(const CommandRequest& request, const StartContext& context);

void CarryOutStop(contract::INetMeetingControl& component, const FailureReporter& reporter);
