#include "ReplayJobs.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <csignal>
#include <cstring>
#include <exception>

#include "CalendarTime.h"
#include "wholeWrite.h"

namespace {

struct Job {
  std::size_t run;
  std::size_t span;
};

// A job's figures as a frame: its index and length in decimal, a line
// feed, then the figures as JSON.
std::string frameOf(std::size_t job, const RunFigures& figures) {
  const std::string body = figuresToTransport(figures).dump();
  return std::to_string(job) + " " + std::to_string(body.size()) + "\n" + body;
}

RunFigures replayJob(const std::vector<ReplayRunPlan>& runs, const WeatherSeries& weather,
                     const std::vector<TimeSpan>& spans, const Job& job) {
  const TimeSpan& span = spans[job.span];
  return replaySpan(runs[job.run].setup, weather, span.beginUnixSeconds, span.endUnixSeconds);
}

// Takes every whole frame off the front of `buffer`.
bool takeFrames(std::string& buffer, std::vector<std::optional<RunFigures>>& results) {
  for (;;) {
    const std::size_t lineEnd = buffer.find('\n');
    if (lineEnd == std::string::npos) {
      return true;
    }
    unsigned long long job = 0;
    unsigned long long size = 0;
    if (std::sscanf(buffer.c_str(), "%llu %llu", &job, &size) != 2 || job >= results.size()) {
      return false;
    }
    if (buffer.size() - lineEnd - 1 < size) {
      return true;
    }
    try {
      results[job] = figuresFromTransport(nlohmann::json::parse(buffer.substr(lineEnd + 1, size)));
    } catch (const std::exception&) {
      return false;
    }
    buffer.erase(0, lineEnd + 1 + size);
  }
}

struct Worker {
  pid_t pid = -1;
  int from = -1;  // the read end of its pipe
  std::string buffer;
};

// The child: replays its share of the jobs and writes each one's figures
// to `to`. Never returns.
[[noreturn]] void work(const std::vector<ReplayRunPlan>& runs, const WeatherSeries& weather,
                       const std::vector<TimeSpan>& spans, const std::vector<Job>& jobs,
                       std::size_t first, std::size_t stride, int to) {
  int status = 0;
  try {
    for (std::size_t j = first; j < jobs.size(); j += stride) {
      const std::string frame = frameOf(j, replayJob(runs, weather, spans, jobs[j]));
      if (!writeWhole(frame.data(), frame.size(), [to](const char* data, std::size_t left) {
            return ::write(to, data, left);
          })) {
        status = 1;
        break;
      }
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "frigel-replay: a replay process failed: %s\n", e.what());
    status = 1;
  }
  ::close(to);
  // Not exit(): the parent's buffered output must not be written twice.
  ::_exit(status);
}

bool collect(std::vector<Worker>& workers, std::vector<std::optional<RunFigures>>& results,
             std::string& error) {
  std::size_t open = workers.size();
  bool whole = true;
  while (open > 0) {
    std::vector<pollfd> watched;
    std::vector<Worker*> owners;
    for (Worker& worker : workers) {
      if (worker.from >= 0) {
        watched.push_back({worker.from, POLLIN, 0});
        owners.push_back(&worker);
      }
    }
    if (::poll(watched.data(), watched.size(), -1) < 0) {
      if (errno == EINTR) {
        continue;
      }
      error = std::string("poll: ") + std::strerror(errno);
      return false;
    }
    for (std::size_t i = 0; i < watched.size(); ++i) {
      if (watched[i].revents == 0) {
        continue;
      }
      Worker& worker = *owners[i];
      char chunk[65536];
      const ssize_t got = ::read(worker.from, chunk, sizeof chunk);
      if (got < 0 && errno == EINTR) {
        continue;
      }
      if (got > 0) {
        worker.buffer.append(chunk, static_cast<std::size_t>(got));
        whole = takeFrames(worker.buffer, results) && whole;
        continue;
      }
      ::close(worker.from);
      worker.from = -1;
      --open;
      whole = whole && worker.buffer.empty();
    }
  }
  for (Worker& worker : workers) {
    int status = 0;
    while (::waitpid(worker.pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      whole = false;
    }
  }
  if (!whole) {
    error = "a replay process ended without delivering its results";
  }
  return whole;
}

}  // namespace

std::vector<TimeSpan> calendarYearSpans(int64_t beginUnixSeconds, int64_t endUnixSeconds) {
  std::vector<TimeSpan> spans;
  int64_t begin = beginUnixSeconds;
  while (begin < endUnixSeconds) {
    const CalendarDate date = dateOfDays(daysOfUnixSeconds(begin));
    const int64_t nextYear = unixSecondsAtMidnight(CalendarDate{date.year + 1, 1, 1});
    const int64_t end = nextYear < endUnixSeconds ? nextYear : endUnixSeconds;
    spans.push_back({begin, end});
    begin = end;
  }
  return spans;
}

std::optional<std::vector<RunFigures>> replayRuns(const std::vector<ReplayRunPlan>& runs,
                                                  const WeatherSeries& weather,
                                                  const std::vector<TimeSpan>& spans, int processes,
                                                  std::string& error) {
  std::vector<Job> jobs;
  for (std::size_t run = 0; run < runs.size(); ++run) {
    for (std::size_t span = 0; span < spans.size(); ++span) {
      jobs.push_back({run, span});
    }
  }
  std::vector<std::optional<RunFigures>> results(jobs.size());
  const std::size_t workerCount =
      std::min<std::size_t>(jobs.size(), processes > 1 ? static_cast<std::size_t>(processes) : 1);
  if (workerCount <= 1) {
    // The same way through the transport as from another process, so the
    // figures are the same to the last bit either way.
    for (std::size_t j = 0; j < jobs.size(); ++j) {
      std::string frame = frameOf(j, replayJob(runs, weather, spans, jobs[j]));
      takeFrames(frame, results);
    }
  } else {
    std::fflush(stdout);
    std::fflush(stderr);
    std::vector<Worker> workers;
    for (std::size_t w = 0; w < workerCount; ++w) {
      int ends[2];
      if (::pipe(ends) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        break;
      }
      const pid_t pid = ::fork();
      if (pid < 0) {
        error = std::string("fork: ") + std::strerror(errno);
        ::close(ends[0]);
        ::close(ends[1]);
        break;
      }
      if (pid == 0) {
        ::close(ends[0]);
        for (const Worker& earlier : workers) {
          ::close(earlier.from);
        }
        work(runs, weather, spans, jobs, w, workerCount, ends[1]);
      }
      ::close(ends[1]);
      workers.push_back({pid, ends[0], {}});
    }
    if (workers.size() < workerCount) {
      // Those started cannot cover every job: stop them.
      for (Worker& worker : workers) {
        ::kill(worker.pid, SIGTERM);
      }
    }
    std::string collectError;
    if (!collect(workers, results, collectError) && error.empty()) {
      error = collectError;
    }
    if (!error.empty()) {
      return std::nullopt;
    }
  }

  std::vector<RunFigures> figures(runs.size());
  for (std::size_t j = 0; j < jobs.size(); ++j) {
    if (!results[j]) {
      error = "the replay of a span is missing";
      return std::nullopt;
    }
    figures[jobs[j].run].append(*results[j]);
  }
  return figures;
}
