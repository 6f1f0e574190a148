#pragma once
// Overall progress of a job from the per-run reports of the tool.
namespace zantrel {

// The new overall value for report p with overall g: p outside 0..100 counts
// as 0; below g it adds p percent of what is left (integer arithmetic),
// otherwise it becomes the new value.
int ApplyProgressReport(int overall, int report);

}  // namespace zantrel
