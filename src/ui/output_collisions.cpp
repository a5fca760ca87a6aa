#include "ui/output_collisions.h"

#include <algorithm>
#include <map>

#include "engine/run/naming.h"

namespace lumafold::ui {

namespace {

constexpr std::size_t kNamedCollisions = 5;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; });
  return text;
}

}  // namespace

std::vector<OutputCollision> PlannedOutputCollisions(const AppContext& context) {
  const ConversionSettings& settings = context.settings;
  // Random numbers differ from file to file; a clash is chance.
  if (Lower(settings.advanced.filenameMask).find("%rnd%") != std::string::npos) return {};
  std::map<std::string, std::size_t> byOutput;
  std::vector<OutputCollision> all;
  std::int32_t sequence = context.job.sequenceNumber;
  for (const InputEntry& entry : context.inputs.ordered()) {
    FileConversion file;
    file.inputPath = entry.path;
    file.relativeSubfolder = entry.relativeSubfolder;
    // "%n%" counts converted files; every file is taken to convert.
    file.sequenceNumber = sequence++;
    file.randomNumber = context.job.randomNumber;
    if (BuildOutputPaths(StepContext{settings, context.job, file}) != OutputPathStatus::Ok)
      continue;
    const auto [found, fresh] = byOutput.try_emplace(file.outputPath, all.size());
    if (fresh) all.push_back({file.outputPath, {}});
    all[found->second].inputs.push_back(entry.path);
  }
  std::vector<OutputCollision> collisions;
  for (OutputCollision& output : all)
    if (output.inputs.size() > 1) collisions.push_back(std::move(output));
  return collisions;
}

std::string CollisionQuestion(const std::vector<OutputCollision>& collisions) {
  std::size_t lost = 0;
  for (const OutputCollision& collision : collisions) lost += collision.inputs.size() - 1;
  std::string text = std::to_string(lost) + (lost == 1 ? " file would be" : " files would be") +
                     " written over by another file of this run with the same output name:\n";
  for (std::size_t i = 0; i < collisions.size() && i < kNamedCollisions; ++i) {
    const OutputCollision& collision = collisions[i];
    text += "\n" + collision.output + " from ";
    for (std::size_t j = 0; j < collision.inputs.size(); ++j)
      text += (j == 0                             ? ""
               : j + 1 == collision.inputs.size() ? " and "
                                                  : ", ") +
              collision.inputs[j];
    text += "; only the last one is kept";
  }
  if (collisions.size() > kNamedCollisions)
    text += "\n... and " + std::to_string(collisions.size() - kNamedCollisions) + " more";
  text += "\n\nConvert anyway?";
  return text;
}

}  // namespace lumafold::ui
