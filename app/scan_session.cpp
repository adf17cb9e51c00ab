#include "app/scan_session.h"

#include <cmath>
#include <nlohmann/json.hpp>
#include <thread>

#include "report/run_flags.h"
#include "source/title_scanner.h"

bool RunScan() {
  AbortFlag = false;
  std::thread worker(ScanWorker);
  worker.join();
  return !ScanFailed() && !ScanFoundNoTitles() && !ScanRefusedDiscTitles() && !AbortFlag.load();
}

namespace {

// Seconds to the millisecond: the playback times hold frames, no finer.
double Milliseconds(double seconds) { return std::round(seconds * 1000) / 1000; }

nlohmann::ordered_json DiscTitlesJson() {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const DiscTitle& title : TitleScanner.disc.titles) {
    nlohmann::ordered_json chapters = nlohmann::ordered_json::array();
    for (const DiscChapter& chapter : title.chapters) {
      nlohmann::ordered_json item;
      item["number"] = chapter.number;
      item["startSeconds"] = Milliseconds(chapter.startSeconds);
      item["durationSeconds"] = Milliseconds(chapter.durationSeconds);
      chapters.push_back(item);
    }
    nlohmann::ordered_json audio = nlohmann::ordered_json::array();
    for (const DiscAudio& stream : title.audio) {
      nlohmann::ordered_json item;
      item["subStreamId"] = stream.subStreamId;
      item["format"] = stream.format;
      item["language"] = stream.language.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(stream.language);
      item["channels"] = stream.channels;
      audio.push_back(item);
    }
    nlohmann::ordered_json video;
    video["standard"] = title.video.standard;
    video["width"] = title.video.width;
    video["height"] = title.video.height;
    video["aspect"] = title.video.aspect;
    nlohmann::ordered_json item;
    item["number"] = title.number;
    item["titleSet"] = title.titleSet;
    item["durationSeconds"] = Milliseconds(title.durationSeconds);
    item["chapters"] = chapters;
    item["angles"] = title.angles;
    item["audio"] = audio;
    item["video"] = video;
    list.push_back(item);
  }
  return list;
}

}  // namespace

std::vector<std::string> DiscTitleLines() {
  std::vector<std::string> lines;
  for (const DiscTitle& title : TitleScanner.disc.titles) lines.push_back(DiscTitleLine(title));
  return lines;
}

std::string ScanReportJson(const std::string& source, bool succeeded) {
  nlohmann::ordered_json report;
  report["source"] = source;
  report["label"] = TitleScanner.labelListed ? nlohmann::ordered_json(TitleScanner.label) : nullptr;
  nlohmann::ordered_json lines = nlohmann::ordered_json::array();
  if (TitleScanner.labelListed) lines.push_back(TitleScanner.label);
  nlohmann::ordered_json titles = nlohmann::ordered_json::array();
  for (const ScannedTitle& title : TitleScanner.titles) {
    lines.push_back(title.text);
    nlohmann::ordered_json streams = nlohmann::ordered_json::array();
    for (const ScannedStream& stream : title.streams) {
      lines.push_back(stream.text);
      nlohmann::ordered_json item;
      item["kind"] = stream.kind;
      item["index"] = stream.index;
      item["line"] = stream.text;
      item["listIndex"] = stream.line;
      item["selectable"] = stream.entry >= 0;
      if (stream.entry >= 0) item["subStreamId"] = TitleList[stream.entry].subStreamId;
      streams.push_back(item);
    }
    nlohmann::ordered_json item;
    item["title"] = title.title;
    item["sizeMB"] = title.sizeMB;
    item["line"] = title.text;
    item["listIndex"] = title.line;
    item["streams"] = streams;
    item["encrypted"] = title.encrypted;
    item["decryptable"] = title.decryptable;
    titles.push_back(item);
  }
  report["lines"] = lines;
  report["titles"] = titles;
  report["discTitles"] = DiscTitlesJson();
  report["failed"] = !succeeded;
  return report.dump(2);
}
