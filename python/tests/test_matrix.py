"""phylo.DistanceMatrix: its numpy view of the library's memory, indexing, equality, copies,
the transformations, subsets and checks."""

import copy
import gc
import io
import pickle

import numpy as np
import pytest

import phylo
from conftest import PRIMATES, output, raised


def small():
    return phylo.DistanceMatrix([[0, 0.25, 0.5], [0.25, 0, 0.75], [0.5, 0.75, 0]], ["a", "b", "c"])


def test_values_view_the_matrix_without_a_copy():
    dm = small()
    v = dm.values
    assert v.dtype == np.float32 and v.shape == (3, 3)
    assert v.base is dm
    assert not v.flags.owndata and v.flags.writeable and v.flags.c_contiguous
    assert dm.values.__array_interface__["data"][0] == v.__array_interface__["data"][0]
    v[0, 1] = 2.0
    assert dm[0, 1] == 2.0 and dm["a", "b"] == 2.0
    assert "2.00000E+00" in dm.to_string("relaxed")
    dm[1, 0] = 3.0
    assert v[1, 0] == 3.0


def test_the_array_keeps_the_matrix_alive():
    v = small().values
    gc.collect()
    assert v[2, 1] == np.float32(0.75)
    v[:] = 1.0  # the memory is still the matrix's
    assert v.base.to_string("raw").count("1.00000E+00") == 9


def test_read_matrices_are_viewed_too(dm):
    assert dm.values.base is dm
    dm.values[:] = 0
    assert set(dm.to_string("pairs").split()) >= {"0.00000E+00"}


def test_construction_copies_any_array_like():
    for values in ([[0, 1], [1, 0]], np.array([[0, 1], [1, 0]], dtype=np.int64),
                   np.asfortranarray(np.array([[0, 1], [1, 0]], dtype=np.float64)), ((0, 1), (1, 0))):
        dm = phylo.DistanceMatrix(values, ("x", "y"))
        assert dm.values.tolist() == [[0, 1], [1, 0]] and dm.labels == ["x", "y"]
    source = np.zeros((2, 2), dtype=np.float32)
    dm = phylo.DistanceMatrix(source, ["x", "y"])
    source[0, 1] = 5
    assert dm[0, 1] == 0  # its own memory


@pytest.mark.parametrize("values,labels,error,word", [
    ([[0, 1], [1, 0]], ["a"], ValueError, "labels"), ([[0, 1, 2]], ["a"], ValueError, "square"),
    ([0, 1], ["a", "b"], ValueError, "square"), (np.zeros((0, 0)), [], ValueError, "at least one"),
    ([[0, -1], [1, 0]], ["a", "b"], ValueError, "cell \\(1, 2\\)"),
    ([[0, float("nan")], [1, 0]], ["a", "b"], ValueError, "cell \\(1, 2\\)"),
    ([[0, float("inf")], [1, 0]], ["a", "b"], ValueError, "cell"),
    ([["x", "y"], ["z", "w"]], ["a", "b"], TypeError, "values"), ([[0, 1], [1, 0]], "ab", TypeError, "labels"),
    ([[0, 1], [1, 0]], ["a", 2], TypeError, "labels"),
])
def test_bad_construction_names_the_argument(values, labels, error, word):
    raised(error, phylo.DistanceMatrix, values, labels, match=word)


def test_indexing():
    dm = small()
    assert len(dm) == 3 and dm.shape == (3, 3)
    assert dm[-1, 0] == 0.5 and dm["c", "b"] == 0.75 and dm[0, "c"] == 0.5
    assert dm.index("b") == 1
    for key, error in [(("a", "z"), KeyError), ((3, 0), IndexError), ((0, -4), IndexError), (0, TypeError),
                       ((0.5, 1), TypeError)]:
        raised(error, lambda: dm[key])
    raised(ValueError, dm.__setitem__, (0, 1), -1)


def test_equality_copies_and_pickles():
    dm = small()
    assert dm == small() and not (dm != small())
    other = small()
    other.values[2, 2] = 1
    assert dm != other
    renamed = small()
    renamed.labels = ["a", "b", "d"]
    assert dm != renamed and renamed.labels == ["a", "b", "d"]
    raised(ValueError, setattr, renamed, "labels", ["a"], match="labels")
    assert dm != "a matrix"
    for twin in (dm.copy(), copy.copy(dm), copy.deepcopy(dm), pickle.loads(pickle.dumps(dm))):
        assert twin == dm and twin is not dm
        twin.values[0, 1] = 9
        assert dm[0, 1] == 0.25
    raised(TypeError, hash, dm)


def test_repr_shows_the_taxa_and_the_cells():
    text = repr(small())
    assert text.startswith("phylo.DistanceMatrix of 3 taxa: 'a', 'b', 'c'\n")
    assert "0.75" in text
    big = phylo.DistanceMatrix(np.zeros((500, 500)), [str(i) for i in range(500)])
    assert len(repr(big)) < 1000 and "..." in repr(big)


def test_transform_symmetrize_subset_similarity_as_the_command_does():
    text = PRIMATES.read_bytes()
    for name in phylo.TRANSFORMS:
        dm, = phylo.read(io.BytesIO(text))
        dm.transform(name)
        assert dm.to_bytes("tsv") == output("convert", "-t", "tsv", "-x", name, "-", stdin=text), name
    raised(ValueError, dm.transform, "cube", match="transform")
    raised(phylo.ArgumentError, phylo.DistanceMatrix([[0, 2], [2, 0]], ["a", "b"]).transform, "neglog")
    raised(phylo.RangeError, phylo.DistanceMatrix([[0, 3e38], [3e38, 0]], ["a", "b"]).transform, "square")

    lopsided = phylo.DistanceMatrix([[0, 1], [3, 0]], ["a", "b"])
    for how, cell in [("lower", 3), ("upper", 1), ("mean", 2)]:
        m = lopsided.copy()
        m.symmetrize(how)
        assert m[0, 1] == m[1, 0] == cell
    raised(ValueError, lopsided.symmetrize, "diagonal", match="how")

    sub = small().subset(["c", "a", "c"])
    assert sub.labels == ["c", "a", "c"] and sub.values.tolist() == [[0, 0.5, 0], [0.5, 0, 0.5], [0, 0.5, 0]]
    raised(phylo.RangeError, small().subset, ["a", "z"], match="no taxon 'z'")

    sim = phylo.DistanceMatrix([[100, 95], [95, 100]], ["a", "b"])
    sim.similarity_to_distance("percent")
    assert sim.values.tolist() == [[0, 5], [5, 0]]
    above = phylo.DistanceMatrix([[1, 2], [2, 1]], ["a", "b"])
    raised(phylo.RangeError, above.similarity_to_distance, "fraction", match="above the largest similarity")

    unsafe = phylo.DistanceMatrix([[0, 1], [1, 0]], ["a (b)", "c:d"])
    unsafe.make_labels_safe()
    assert unsafe.labels == ["a__b_", "c_d"]


def test_check_finds_one_of_each_kind():
    dm = phylo.DistanceMatrix([[1, 2], [3, 0]], ["same", "same"])
    assert [f.kind for f in dm.check()] == ["asymmetry", "diagonal", "duplicate_label"]
    assert dm.check(tolerance=1, layout="csv")[0].kind == "diagonal"
    f = dm.check()[0]
    assert (f.i, f.j) == (1, 0) and "symmetric" in f.message
    assert phylo.DistanceMatrix([[0]], ["a b"]).check(layout="phylip")[0].kind == "unsafe_label"
    raised(ValueError, dm.check, tolerance=-1)


def test_cells_made_bad_through_the_view_are_refused_on_writing():
    dm = small()
    dm.values[1, 2] = np.nan
    raised(phylo.RangeError, dm.to_string, match="cell \\(2, 3\\)")
    raised(phylo.RangeError, dm.transform, "sqrt")
