#pragma once
// The subcommands. Each answers the process exit status on success and
// throws UsageError, CommandFailure or HostError otherwise.

#include "CommandLine.h"
#include "RenderSummary.h"

namespace kqfx::command {

int runList(const ListRequest& request);
int runInfo(const InfoRequest& request);
int runRender(const RenderRequest& request);
// The render itself, telling what it did as runRender does but for the
// --json summary, which it answers instead.
RenderSummary renderFile(const RenderRequest& request);
// render -o OUTDIR INPUT...
int runRenderBatch(const RenderRequest& request);
int runDemo(const DemoRequest& request);
int runBench(const BenchRequest& request);
int runValidate(const ValidateRequest& request);
int runAnalyze(const AnalyzeRequest& request);

}  // namespace kqfx::command
