"""tools/batch_decode.py on small Dask clusters of two worker processes."""
import base64
import collections
import json
import os
import pathlib
import signal
import subprocess
import sys
import time

import pytest

from conftest import REPO, make_symbol

distributed = pytest.importorskip("distributed")
# Dask's event loop set-up on Debian 12's tornado; not ours.
pytestmark = pytest.mark.filterwarnings("ignore:make_current is deprecated:DeprecationWarning")

BATCH = REPO / "tools" / "batch_decode.py"
CORPUS = pathlib.Path(os.environ.get("PDF417_CORPUS", "/work/shared/corpus"))
PROGRAM = pathlib.Path(os.environ.get("PDF417READ_PROGRAM", REPO / "build" / "pdf417read"))
SYMBOL_FIELDS = {"text", "bytes", "verified", "ec_level", "rows", "columns", "corners", "eci", "compact",
                 "mirrored", "inverted", "reader_init", "macro", "warnings"}


def run_batch(*arguments, status=0):
    run = subprocess.run([sys.executable, str(BATCH), "--no-progress", *map(str, arguments)],
                         capture_output=True, text=True, timeout=600)
    assert status is None or run.returncode == status, run.stderr
    return run


def error_lines(run):
    return [line for line in run.stderr.splitlines() if line.strip()]


def records(path):
    with open(path, encoding="utf-8") as lines:
        return [json.loads(line) for line in lines]


@pytest.fixture(scope="module")
def scheduler():
    """A local cluster the tool reaches by its address, as it would a remote one."""
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster:
        yield cluster.scheduler_address


@pytest.mark.skipif(not CORPUS.is_dir(), reason="no corpus at " + str(CORPUS))
@pytest.mark.skipif(not PROGRAM.is_file(), reason="no pdf417read program at " + str(PROGRAM))
def test_corpus_on_two_local_workers_reads_what_the_program_reads(tmp_path):
    output = tmp_path / "corpus.jsonl"
    run = run_batch("--workers", 2, "-o", output, CORPUS, status=None)
    by_file = {record["file"]: record for record in records(output)}
    files = sorted(by_file)
    program = subprocess.run([str(PROGRAM), "-q", "-j", "2", *files], capture_output=True, timeout=600)
    # The program prints the results of the pictures it decodes, in order.
    expected = b"".join(b"Result =" + base64.b64decode(symbol["bytes"]) + b"\n"
                        for path in files for symbol in by_file[path]["symbols"])
    assert program.stdout == expected
    statuses = collections.Counter(record["status"] for record in by_file.values())
    failures = [line for line in program.stderr.splitlines() if b": warning: " not in line]
    assert statuses["decoded"] == program.stdout.count(b"Result =") == len(files) - len(failures)
    assert run.returncode == (0 if statuses["decoded"] == len(files) else 1)


def test_failures_are_recorded_and_a_restart_skips_what_is_done(tmp_path, scheduler):
    folder = tmp_path / "pictures"
    folder.mkdir()
    messages = {"%d.png" % i: "batch symbol %d" % i for i in range(4)}
    for name, message in messages.items():
        make_symbol(folder / name, message)
    (folder / "truncated.png").write_bytes((folder / "0.png").read_bytes()[:100])
    (folder / "blank.pgm").write_bytes(b"P5 40 30 255\n" + b"\xff" * 1200)
    (folder / "notes.txt").write_text("not a picture name: left out")
    output = tmp_path / "out.jsonl"

    run_batch("--scheduler", scheduler, "--chunk-size", 2, "-o", output, folder, tmp_path / "missing.png", status=1)
    first = records(output)
    by_name = {pathlib.Path(record["file"]).name: record for record in first}
    assert sorted(by_name) == sorted([*messages, "truncated.png", "blank.pgm", "missing.png"])
    for name, message in messages.items():
        record = by_name[name]
        assert record["status"] == "decoded" and "error" not in record
        (symbol,) = record["symbols"]
        assert set(symbol) == SYMBOL_FIELDS
        assert symbol["text"] == message and base64.b64decode(symbol["bytes"]) == message.encode()
        assert symbol["verified"] and len(symbol["corners"]) == 4 and symbol["macro"] is None
    assert by_name["truncated.png"]["status"] == "no picture" and by_name["truncated.png"]["error"]
    assert by_name["blank.pgm"]["status"] == "no symbol"
    assert by_name["missing.png"] == {"file": str(tmp_path / "missing.png"), "status": "no picture",
                                      "error": "no such file", "symbols": []}

    # An interrupted run: three whole lines, then half of the fourth.
    lines = output.read_text(encoding="utf-8").splitlines(keepends=True)
    output.write_text("".join(lines[:3]) + lines[3][:10], encoding="utf-8")
    run_batch("--scheduler", scheduler, "--send-data", "-o", output, folder, tmp_path / "missing.png", status=1)
    second = records(output)
    assert second[:3] == first[:3]
    assert sorted(second, key=lambda record: record["file"]) == sorted(first, key=lambda record: record["file"])


def test_ctrl_c_stops_with_one_line_and_the_run_resumes(tmp_path):
    folder = tmp_path / "many"
    folder.mkdir()
    make_symbol(folder / "0.png", "one of many")
    for i in range(1, 200):
        (folder / ("%d.png" % i)).symlink_to(folder / "0.png")
    output = tmp_path / "out.jsonl"
    # Its own process group, as a terminal's: Ctrl-C reaches the workers too.
    batch = subprocess.Popen([sys.executable, str(BATCH), "--no-progress", "--workers", "1", "--chunk-size", "1",
                              "-o", str(output), str(folder)], stderr=subprocess.PIPE, text=True,
                             start_new_session=True)
    while batch.poll() is None and (not output.exists() or output.read_text().count("\n") < 3):
        time.sleep(0.05)
    os.killpg(batch.pid, signal.SIGINT)
    _, errors = batch.communicate(timeout=120)
    assert batch.returncode == 130
    (line,) = [line for line in errors.splitlines() if line.strip()]
    assert line.startswith("batch_decode: interrupted after ") and "run it again" in line

    run_batch("--workers", 2, "-o", output, folder)
    assert sorted(record["file"] for record in records(output)) == sorted(str(path) for path in folder.iterdir())


def test_no_cluster_or_output_folder_fails_at_once_with_one_line(tmp_path):
    picture = make_symbol(tmp_path / "one.png", "one")
    unreachable = run_batch("--scheduler", "tcp://127.0.0.1:9", "--timeout", 2, picture, status=2)
    (line,) = error_lines(unreachable)
    assert line.startswith("batch_decode: cannot reach the scheduler at tcp://127.0.0.1:9 within 2 s")

    missing = run_batch("-o", tmp_path / "no such folder" / "out.jsonl", picture, status=2)
    assert "the folder %s does not exist" % (tmp_path / "no such folder") in error_lines(missing)[-1]


def test_a_worker_without_the_module_is_named(tmp_path):
    environment = {name: value for name, value in os.environ.items() if name != "PYTHONPATH"}
    if subprocess.run([sys.executable, "-c", "import pdf417read"], env=environment, capture_output=True).returncode == 0:
        pytest.skip("pdf417read is installed for every Python here")
    with distributed.LocalCluster(n_workers=0, processes=True, dashboard_address=None) as cluster:
        worker = subprocess.Popen([sys.executable, "-m", "distributed.cli.dask_worker", cluster.scheduler_address,
                                   "--nworkers", "1", "--nthreads", "1", "--no-dashboard"],
                                  env=environment, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            with distributed.Client(cluster) as client:
                client.wait_for_workers(1, timeout=60)
                (address,) = client.scheduler_info()["workers"]
            run = run_batch("--scheduler", cluster.scheduler_address, make_symbol(tmp_path / "a.png", "a"), status=2)
        finally:
            worker.terminate()
            worker.wait(timeout=60)
    (line,) = error_lines(run)
    assert line.startswith("batch_decode: the worker at %s cannot import pdf417read" % address)
