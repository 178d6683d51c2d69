#!/usr/bin/env python3
"""Decodes the PDF417 symbols of many pictures in parallel on a Dask cluster.

usage: batch_decode.py [-o OUT.jsonl] [--workers N | --scheduler ADDRESS] [options] PATH...

Each PATH is a picture file or a folder (searched recursively for BMP, PNG,
JPEG, GIF, TGA and PNM files). Every picture gets one JSON line in OUT, as it
is decoded (so in the order the work finishes, not the order given):

  {"file": ..., "status": "decoded" | "no picture" | "no symbol" | "not decoded",
   "error": ... (when nothing was decoded), "symbols": [{"text", "bytes" (base64),
   "verified", "ec_level", "rows", "columns", "corners", "eci", "compact",
   "mirrored", "inverted", "reader_init", "macro", "warnings"}, ...]}

A file that cannot be read or decoded is one such line; it never stops the
batch. Run again with the same OUT and the files already in it are skipped,
also after an interruption (Ctrl-C). Without --scheduler a local cluster of
worker processes is started, listening on 127.0.0.1 only (--host to change);
with it, the work goes to that cluster's workers, which need the pdf417read
module and either the same paths (a shared file system) or --send-data.

Exit status: 0 when every picture was decoded, 1 when some were not, 2 on a
usage error or when there is no cluster to work on (the scheduler cannot be
reached, or a worker cannot import the module), 130 when interrupted.
"""
import argparse
import base64
import contextlib
import json
import logging
import os
import signal
import sys
import time

EXIT_DECODED, EXIT_SOME_FAILED, EXIT_NO_CLUSTER, EXIT_INTERRUPTED = 0, 1, 2, 130

PICTURE_SUFFIXES = {".bmp", ".png", ".jpg", ".jpeg", ".gif", ".tga", ".pnm", ".pgm", ".ppm", ".pbm"}


# --- What runs on the workers -------------------------------------------------

def macro_record(macro):
    if macro is None:
        return None
    record = {"segment_index": macro.segment_index, "file_id": macro.file_id,
              "last_segment": macro.last_segment}
    for name in ("segment_count", "file_name", "timestamp", "sender", "addressee", "file_size", "checksum"):
        value = getattr(macro, name)
        if value is not None:
            record[name] = value
    return record


def symbol_record(symbol):
    return {
        "text": symbol.text,
        "bytes": base64.b64encode(symbol.bytes).decode("ascii"),
        "verified": symbol.verified,
        "ec_level": symbol.ec_level,
        "rows": symbol.rows,
        "columns": symbol.columns,
        "corners": [[x, y] for x, y in symbol.corners],
        "eci": list(symbol.eci),
        "compact": symbol.compact,
        "mirrored": symbol.mirrored,
        "inverted": symbol.inverted,
        "reader_init": symbol.reader_init,
        "macro": macro_record(symbol.macro),
        "warnings": list(symbol.warnings),
    }


def failure_record(path, status, error):
    return {"file": path, "status": status, "error": error, "symbols": []}


def decode_file(path, data, options):
    """The record of one picture; data holds its bytes when the client sent them."""
    import pdf417read
    try:
        result = pdf417read.read_result(path if data is None else data, **options)
    except OSError as error:
        return failure_record(path, "no picture", error.strerror or str(error))
    except Exception as error:  # this file's failure, not the batch's
        return failure_record(path, "not decoded", "%s: %s" % (type(error).__name__, error))
    record = {"file": path, "status": result.status}
    if result.status != "decoded":
        record["error"] = result.error
    record["symbols"] = [symbol_record(symbol) for symbol in result.symbols]
    return record


def decode_chunk(items, options):
    return [decode_file(path, data, options) for path, data in items]


def module_version():
    import pdf417read
    return pdf417read.__version__


# --- What runs on the client --------------------------------------------------

def list_pictures(paths):
    """Folders become the pictures below them; files named are kept as given."""
    seen = set()
    for path in paths:
        if os.path.isdir(path):
            found = []
            for folder, _, names in os.walk(path):
                found += [os.path.join(folder, name) for name in names
                          if os.path.splitext(name)[1].lower() in PICTURE_SUFFIXES]
            found.sort()
        else:
            found = [path]
        for picture in found:
            if picture not in seen:
                seen.add(picture)
                yield picture


def read_list(list_path):
    stream = sys.stdin if list_path == "-" else open(list_path, encoding="utf-8", errors="surrogateescape")
    with stream:
        return [line.rstrip("\n") for line in stream if line.strip()]


def finished_files(output_path):
    """The files an earlier run wrote, after cutting off a line it left half written."""
    done = set()
    if output_path == "-" or not os.path.exists(output_path):
        return done
    with open(output_path, "rb+") as output:
        data = output.read()
        complete = data.rfind(b"\n") + 1
        if complete < len(data):
            output.truncate(complete)
    for line in data[:complete].splitlines():
        try:
            done.add(os.path.abspath(json.loads(line)["file"]))
        except (ValueError, KeyError, TypeError):
            continue  # a damaged line: its file is decoded again
    return done


def json_line(record):
    line = json.dumps(record, ensure_ascii=False)
    try:
        line.encode("utf-8")
    except UnicodeEncodeError:  # a file name that is not UTF-8
        line = json.dumps(record)
    return line + "\n"


class Progress:
    """A one-line bar on standard error, redrawn at most five times a second."""

    def __init__(self, total, enabled):
        self.total, self.done, self.enabled = total, 0, enabled
        self.started = self.drawn = time.monotonic()

    def advance(self, count):
        self.done += count
        now = time.monotonic()
        if self.enabled and (now - self.drawn >= 0.2 or self.done == self.total):
            self.drawn = now
            rate = self.done / max(now - self.started, 1e-9)
            filled = 30 * self.done // max(self.total, 1)
            left = (self.total - self.done) / rate if rate > 0 else 0
            sys.stderr.write("\r[%s%s] %d/%d  %.1f files/s  %ds left " % (
                "#" * filled, "." * (30 - filled), self.done, self.total, rate, left))
            if self.done == self.total:
                sys.stderr.write("\n")
            sys.stderr.flush()


def open_error(path, error):
    """The reason the library gives for a file the client could not open (the
    same words as a worker's), or the system's when the module is not here."""
    try:
        import pdf417read
        pdf417read.read_result(path)
    except OSError as library_error:
        return library_error.strerror
    except Exception:  # no module on the client, or the file changed since
        pass
    return error.strerror or str(error)


def chunk_items(chunk, send_data):
    """(path, bytes or None) pairs, and the records of files the client could not read."""
    items, failures = [], []
    for path in chunk:
        if not send_data:
            items.append((path, None))
            continue
        try:
            with open(path, "rb") as picture:
                items.append((path, picture.read()))
        except OSError as error:
            failures.append(failure_record(path, "no picture", open_error(path, error)))
    return items, failures


def decode_all(client, files, options, chunk_size, send_data, emit):
    """Decodes every file on the cluster, handing each record to emit as it comes."""
    from distributed import as_completed

    chunks = [files[i:i + chunk_size] for i in range(0, len(files), chunk_size)]
    chunks.reverse()  # popped from the end: the first files go first
    in_flight = max(2, 4 * sum(client.nthreads().values()))
    running = as_completed()
    chunk_of = {}

    def submit(chunk):
        items, failures = chunk_items(chunk, send_data)
        for record in failures:
            emit(record)
        if items:
            future = client.submit(decode_chunk, items, options, pure=False)
            chunk_of[future] = chunk
            running.add(future)

    while chunks and len(chunk_of) < in_flight:
        submit(chunks.pop())
    for future in running:
        chunk = chunk_of.pop(future)
        try:
            records = future.result()
        except Exception as error:  # the worker died or the task failed
            if len(chunk) > 1:  # find the file at fault: each alone
                chunks += [[path] for path in chunk]
                records = []
            else:
                records = [failure_record(chunk[0], "not decoded", "the decoding task failed: %s" % error)]
        for record in records:
            emit(record)
        future.release()
        while chunks and len(chunk_of) < in_flight:
            submit(chunks.pop())


class Stop(Exception):
    """Ends the run before the batch, with one line on standard error."""

    def __init__(self, message, status):
        super().__init__(message)
        self.status = status


def check_workers(client):
    """Stops before the batch when a worker lacks the module: else every file would fail."""
    answers = client.run(module_version, on_error="return")
    for worker, answer in sorted(answers.items()):
        if isinstance(answer, BaseException):
            raise Stop("the worker at %s cannot import pdf417read (%s: %s): install it there (pip install "
                       "or cmake --install) or put its folder on the workers' PYTHONPATH"
                       % (worker, type(answer).__name__, answer), EXIT_NO_CLUSTER)
    if not answers:
        raise Stop("the cluster has no workers", EXIT_NO_CLUSTER)


@contextlib.contextmanager
def cluster_client(args):
    """A client of the cluster at --scheduler, or of a local one that ends with it."""
    from distributed import Client, LocalCluster

    if args.scheduler:
        try:
            client = Client(args.scheduler, timeout=args.timeout)
        except (OSError, ValueError, TypeError) as error:
            raise Stop("cannot reach the scheduler at %s within %g s (%s)" % (args.scheduler, args.timeout, error),
                       EXIT_NO_CLUSTER) from None
        with client:
            yield client
        return
    # Every server of the cluster, dashboards too, listens on the one host.
    # The workers ignore Ctrl-C, which reaches every process of the terminal:
    # the client alone ends the run, and then stops them.
    local = "%s:0" % args.host
    interrupt_handler = signal.signal(signal.SIGINT, signal.SIG_IGN)
    try:
        cluster = LocalCluster(n_workers=args.workers, threads_per_worker=args.threads_per_worker,
                               processes=True, host=args.host, dashboard_address=local,
                               worker_dashboard_address=local)
    finally:
        signal.signal(signal.SIGINT, interrupt_handler)
    with cluster, Client(cluster) as client:
        yield client


def parse_arguments(argv):
    parser = argparse.ArgumentParser(
        description="Decodes the PDF417 symbols of many pictures on a Dask cluster into JSON Lines.")
    parser.add_argument("paths", nargs="*", metavar="PATH", help="a picture file, or a folder of pictures")
    parser.add_argument("--files-from", metavar="LIST", help="also the files named in LIST, one a line ('-': stdin)")
    parser.add_argument("-o", "--output", default="-",
                        help="the JSON Lines file to append to; files already in it are skipped (default: stdout)")
    parser.add_argument("--scheduler", metavar="ADDRESS",
                        help="run on this existing Dask cluster (e.g. tcp://10.0.0.5:8786) instead of a local one")
    parser.add_argument("--host", default="127.0.0.1",
                        help="the address the local cluster listens on (default 127.0.0.1: this machine only)")
    parser.add_argument("--timeout", type=float, default=10,
                        help="seconds to wait for the scheduler of --scheduler (default 10)")
    parser.add_argument("--workers", type=int, default=len(os.sched_getaffinity(0)),
                        help="worker processes of the local cluster (default: one per core)")
    parser.add_argument("--threads-per-worker", type=int, default=1, help="threads per local worker (default 1)")
    parser.add_argument("--chunk-size", type=int, default=0,
                        help="files per task (default: from the number of files and worker threads)")
    parser.add_argument("--send-data", action="store_true",
                        help="read the files here and send their bytes, for workers that cannot see them")
    parser.add_argument("--exact-only", action="store_true", help="only the exact reading (upright or upside down)")
    parser.add_argument("--effort", choices=("fast", "normal", "hard"), default="normal")
    parser.add_argument("--max-symbols", type=int, default=0, help="at most this many symbols a picture (0: all)")
    parser.add_argument("--no-progress", action="store_true", help="no progress bar")
    args = parser.parse_args(argv)
    if not args.paths and not args.files_from:
        parser.error("no picture given")
    if args.workers < 1 or args.threads_per_worker < 1 or args.chunk_size < 0 or args.max_symbols < 0:
        parser.error("--workers and --threads-per-worker must be 1 or more, --chunk-size and --max-symbols 0 or more")
    if not args.timeout > 0:
        parser.error("--timeout must be more than 0")
    folder = os.path.dirname(os.path.abspath(args.output))
    if args.output != "-" and not os.path.isdir(folder):
        parser.error("cannot write %s: the folder %s does not exist" % (args.output, folder))
    return args


def open_output(path):
    if path == "-":
        return sys.stdout
    try:
        return open(path, "a", encoding="utf-8")
    except OSError as error:
        raise Stop("cannot write %s: %s" % (path, error.strerror or error), EXIT_NO_CLUSTER) from None


def decode_on_cluster(args, files, options, emit):
    with cluster_client(args) as client:
        check_workers(client)
        threads = sum(client.nthreads().values()) or 1
        chunk_size = args.chunk_size or max(1, min(32, len(files) // (8 * threads)))
        try:
            decode_all(client, files, options, chunk_size, args.send_data, emit)
        except KeyboardInterrupt:
            # What the cluster says while it is torn down is not news.
            logging.getLogger("distributed").setLevel(logging.CRITICAL)
            raise


def status_counts(counts):
    return ", ".join("%d %s" % (counts[status], status) for status in sorted(counts)) or "none done"


def main(argv=None):
    args = parse_arguments(argv)
    paths = args.paths + (read_list(args.files_from) if args.files_from else [])
    counts = {}
    started = time.monotonic()
    files, skipped = [], 0
    try:
        done = finished_files(args.output)
        listed = list(list_pictures(paths))
        files = [path for path in listed if os.path.abspath(path) not in done]
        skipped = len(listed) - len(files)
        options = {"exact_only": args.exact_only, "effort": args.effort, "max_symbols": args.max_symbols}
        output = open_output(args.output)
        progress = Progress(len(files), enabled=not args.no_progress and sys.stderr.isatty())

        def emit(record):
            output.write(json_line(record))
            output.flush()
            counts[record["status"]] = counts.get(record["status"], 0) + 1
            progress.advance(1)

        if files:
            decode_on_cluster(args, files, options, emit)
        if output is not sys.stdout:
            output.close()
    except Stop as stop:
        sys.stderr.write("batch_decode: %s\n" % stop)
        return stop.status
    except KeyboardInterrupt:
        done = sum(counts.values())
        sys.stderr.write("%sbatch_decode: interrupted after %d of %d files (%s); run it again to go on\n" % (
            "\n" if sys.stderr.isatty() else "", done, len(files), status_counts(counts)))
        return EXIT_INTERRUPTED
    sys.stderr.write("batch_decode: %d files: %s; %d skipped as already done; %.1f s\n" % (
        len(files), status_counts(counts), skipped, time.monotonic() - started))
    return EXIT_DECODED if counts.get("decoded", 0) == len(files) else EXIT_SOME_FAILED


if __name__ == "__main__":
    sys.exit(main())
