#include "app/extraction_report.h"

#include <nlohmann/json.hpp>

#include "app/extraction_batch.h"
#include "app/job_check.h"

namespace {

using Json = nlohmann::ordered_json;

Json VideoStream() {
  Json item;
  item["id"] = "0xE0";
  item["kind"] = "video";
  item["format"] = "mpeg2video";
  item["kept"] = true;
  return item;
}

// The format as the selectors name it ("ac3", "pcm", "dts", "mpeg"); a
// re-encoded track is "mp2".
Json AudioStream(const OutputTrack& track) {
  const CatalogStream& stream = track.stream;
  Json item;
  item["id"] = OutputStreamId(track);
  item["kind"] = "audio";
  item["format"] = track.copy ? FormatKey(stream.format) : "mp2";
  if (!stream.language.empty()) item["language"] = stream.language;
  item["kept"] = track.copy;
  item["selector"] = StreamName(stream.format, stream.index);
  item["inputId"] = StreamIdText(stream.format != AudioFormat::Mpeg, stream.discId);
  return item;
}

// The k-th sub-picture stream kept, in the program stream and the VobSub pair.
Json SubtitleStreamJson(const SubtitleStream& subtitle, size_t k) {
  Json item;
  item["id"] = StreamIdText(true, static_cast<unsigned>(0x20 + k));
  item["kind"] = "subtitle";
  item["format"] = "dvd_subtitle";
  if (!subtitle.language.empty()) item["language"] = subtitle.language;
  item["kept"] = true;
  item["inputId"] = StreamIdText(true, subtitle.subStreamId);
  return item;
}

const char* OutcomeKey(JobOutcome outcome) {
  switch (outcome) {
    case JobOutcome::Done: return "done";
    case JobOutcome::Damaged: return "damaged";
    case JobOutcome::Failed: return "failed";
    case JobOutcome::Skipped: return "skipped";
    case JobOutcome::Stopped: return "stopped";
    case JobOutcome::NotStarted: break;
  }
  return "not started";
}

Json JobJson(const ExtractionJob& job, const JobResult& result, int stoppedStatus) {
  Json item;
  item["output"] = job.subsOnly ? Json(nullptr) : Json(job.output);
  item["title"] = result.title >= 0 ? Json(result.title) : Json(job.title >= 0 ? Json(job.title) : Json(nullptr));
  if (job.discTitle > 0) item["discTitle"] = job.discTitle;
  item["outcome"] = OutcomeKey(result.outcome);
  item["exitStatus"] = result.outcome == JobOutcome::Stopped ? stoppedStatus : ExitCode(JobExitStatus(result));
  item["videoSeconds"] = result.videoSeconds;
  if (result.damageStretches > 0) {
    Json damage;
    damage["stretches"] = result.damageStretches;
    damage["bytes"] = result.damageBytes;
    item["damage"] = damage;
  }
  Json streams = Json::array();
  if (!job.subsOnly && result.outcome != JobOutcome::Skipped) {
    streams.push_back(VideoStream());
    for (const OutputTrack& track : result.tracks) streams.push_back(AudioStream(track));
  }
  for (size_t k = 0; k < result.subtitles.size(); ++k) streams.push_back(SubtitleStreamJson(result.subtitles[k], k));
  item["streams"] = streams;
  if (!result.subtitles.empty()) {
    item["vobsub"] = {{"idx", VobSubPath(job.output, ".idx")}, {"sub", VobSubPath(job.output, ".sub")}};
  }
  return item;
}

}  // namespace

std::string ExtractionReportJson(const std::string& source, const std::string& output, bool batch,
                                 int exitStatus) {
  Json report;
  report["source"] = source;
  const bool ran = !Batch.results.empty() && Batch.results.size() == Batch.jobs.size();
  if (batch) {
    Json jobs = Json::array();
    for (size_t k = 0; ran && k < Batch.jobs.size(); ++k) jobs.push_back(JobJson(Batch.jobs[k], Batch.results[k], exitStatus));
    report["output"] = output;
    report["jobs"] = jobs;
    report["exitStatus"] = exitStatus;
    return report.dump(2);
  }
  if (!ran) {
    report["output"] = output;
    report["outcome"] = "refused";
    report["exitStatus"] = exitStatus;
    report["streams"] = Json::array();
    return report.dump(2);
  }
  const Json job = JobJson(Batch.jobs.front(), Batch.results.front(), exitStatus);
  report.update(job);
  report["exitStatus"] = exitStatus;
  return report.dump(2);
}
