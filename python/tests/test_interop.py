"""scikit-bio and pandas round trips, Python threads running the library at once, and Ctrl-C
stopping a long computation."""

import concurrent.futures
import os
import signal
import threading
import time
import traceback

import numpy as np
import pytest

import phylo
from conftest import EXAMPLES, PRODUCERS


def test_skbio_round_trip_and_reading_our_output(tmp_path):
    skbio = pytest.importorskip("skbio")
    dm, = phylo.read(EXAMPLES / "primates.dist")
    s = dm.to_skbio()
    assert isinstance(s, skbio.DistanceMatrix) and list(s.ids) == dm.labels
    assert np.array_equal(s.data, dm.values.astype(np.float64))
    assert phylo.DistanceMatrix.from_skbio(s) == dm
    dm.write(tmp_path / "m.lsmat", "tsv")
    back = skbio.DistanceMatrix.read(str(tmp_path / "m.lsmat"))
    assert np.allclose(back.data, s.data, rtol=1e-6) and list(back.ids) == dm.labels
    with pytest.raises(TypeError, match="from_skbio"):
        phylo.DistanceMatrix.from_skbio(np.zeros((2, 2)))
    with pytest.raises(Exception):
        phylo.DistanceMatrix([[0, 1], [2, 0]], ["a", "b"]).to_skbio()  # scikit-bio wants symmetry


def test_pandas_round_trip():
    pandas = pytest.importorskip("pandas")
    dm, = phylo.read(PRODUCERS / "r_write_csv.csv")
    frame = dm.to_pandas()
    assert list(frame.index) == dm.labels == list(frame.columns)
    assert phylo.DistanceMatrix.from_pandas(frame) == dm
    frame.iloc[0, 1] = 9
    assert dm[0, 1] != 9  # a copy by default
    view = dm.to_pandas(copy=False)
    dm.values[0, 1] = 7
    assert view.iloc[0, 1] == 7
    read_back = pandas.read_csv(__import__("io").StringIO(dm.to_string("csv", quiet=True)), index_col=0)
    assert phylo.DistanceMatrix.from_pandas(read_back) == dm
    with pytest.raises(ValueError, match="columns"):
        phylo.DistanceMatrix.from_pandas(frame[frame.columns[::-1]])


def random_alignment(n, sites, seed=1):
    rng = np.random.default_rng(seed)
    codes = np.frombuffer(b"ACGT", dtype=np.uint8)
    root = rng.integers(0, 4, sites)
    out = []
    for i in range(n):
        s = root.copy()
        flip = rng.random(sites) < 0.2
        s[flip] = rng.integers(0, 4, int(flip.sum()))
        out.append(("t%d" % i, codes[s].tobytes()))
    return out


def test_python_threads_read_write_and_compute_at_once():
    paths = [EXAMPLES / "primates.dist", PRODUCERS / "r_write_csv.csv", PRODUCERS / "mash_triangle.tsv"] * 4
    alone = [phylo.read(p, quiet=True)[0].to_bytes("nexus", quiet=True) for p in paths]
    aln = random_alignment(200, 300)
    expected_dist = phylo.dist(aln, "k80", threads=1)

    def job(k):
        text = phylo.read(paths[k], quiet=True)[0].to_bytes("nexus", quiet=True)
        return text, phylo.dist(aln, "k80", threads=2)

    with concurrent.futures.ThreadPoolExecutor(max_workers=4) as pool:
        for k, (text, d) in enumerate(pool.map(job, range(len(paths)))):
            assert text == alone[k]
            assert d == expected_dist


def test_the_lock_is_released_while_distances_are_computed():
    aln = random_alignment(1200, 4000, seed=2)
    ticks = []
    stop = threading.Event()

    def ticker():
        while not stop.is_set():
            ticks.append(time.monotonic())
            time.sleep(0.001)

    t = threading.Thread(target=ticker)
    start = time.monotonic()
    t.start()
    phylo.dist(aln, threads=1)
    end = time.monotonic()
    stop.set()
    t.join()
    during = [x for x in ticks if start < x < end]
    # Another Python thread ran while the comparison did (it would not while the lock was held).
    assert len(during) >= 3 or end - start < 0.01


@pytest.mark.skipif(threading.current_thread() is not threading.main_thread(), reason="signals go to the main thread")
def test_ctrl_c_stops_a_long_computation():
    aln = random_alignment(3000, 40000, seed=4)
    sent = []

    def interrupt():
        sent.append(time.monotonic())
        os.kill(os.getpid(), signal.SIGINT)

    timer = threading.Timer(0.5, interrupt)
    timer.start()
    try:
        with pytest.raises(KeyboardInterrupt) as e:
            phylo.dist(aln, "logdet", threads=2)
        stopped = time.monotonic() - sent[0]
    finally:
        timer.cancel()
    # Raised from inside the library's call, not after it returned.
    frames = traceback.extract_tb(e.value.__traceback__)
    assert "_phylo._dist_pairs" in frames[-1].line
    # The whole comparison takes about 4 s of CPU on each of two threads; it stopped within a
    # few tiles of the signal (the packing before it holds the lock, then the first tile ends).
    assert stopped < 2.0


@pytest.mark.skipif(threading.current_thread() is not threading.main_thread(), reason="signals go to the main thread")
def test_ctrl_c_stops_a_long_read(tmp_path):
    # A matrix of 10,000 taxa that comes slowly through a FIFO: one row every few milliseconds.
    fifo = tmp_path / "matrix"
    os.mkfifo(fifo)
    n = 10000
    done = threading.Event()

    def writer():
        try:
            with open(fifo, "wb") as f:
                f.write(b"%d\n" % n)
                row = b" 0" * n + b"\n"
                for i in range(n):
                    if done.is_set():
                        return
                    f.write(b"t%d" % i + row)
                    f.flush()
                    time.sleep(0.005)
        except BrokenPipeError:
            pass

    feeder = threading.Thread(target=writer)
    feeder.start()
    timer = threading.Timer(0.5, lambda: os.kill(os.getpid(), signal.SIGINT))
    start = time.monotonic()
    timer.start()
    try:
        with pytest.raises(KeyboardInterrupt):
            phylo.read(fifo, layout="relaxed")
        stopped = time.monotonic() - start
    finally:
        timer.cancel()
        done.set()
        feeder.join()
    assert stopped < 5.0  # the whole text would take about a minute to come
