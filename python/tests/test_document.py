"""Documents: Symbol.document and parse_document give the --json shape."""
import pdf417read
import pytest

from conftest import make_symbol

LICENCE = (b"@\n\x1e\rANSI 636000080001DL00310071DLDAQT64235789\nDCSSAMPLE\nDACMICHAEL\nDADJOHN\n"
           b"DBB06061986\nDBC1\nDAU068 in\r")


def test_a_licence_read_from_its_symbol(pictures):
    symbol, = pdf417read.read(make_symbol(pictures / "licence.png", LICENCE))
    document = symbol.document
    assert document == pdf417read.parse_document(LICENCE)
    assert document["type"] == "aamva" and document["version"] == 8
    assert document["warnings"] == []
    assert document["fields"][0] == {"id": "DAQ", "name": "Customer ID Number", "value": "T64235789",
                                     "subfile": "DL"}
    summary = document["summary"]
    assert (summary["family_name"], summary["given_names"], summary["date_of_birth"]) == \
        ("SAMPLE", "MICHAEL JOHN", "1986-06-06")
    assert summary["sex"] == "M" and summary["height_cm"] == 173 and summary["country"] is None


def test_passes_envelopes_and_plain_messages():
    pass_ = pdf417read.parse_document(bytearray(b"M1DESMARAIS/LUC       EABC123 YULFRAAC 0834 326J001A0025 100"))
    assert pass_["type"] == "bcbp" and pass_["version"] is None
    assert pass_["summary"]["electronic_ticket"] is True
    assert pass_["summary"]["legs"][0]["flight"] == "0834" and pass_["summary"]["legs"][0]["day_of_year"] == 326
    assert "subfile" not in pass_["fields"][0]
    envelope = pdf417read.parse_document(memoryview(b"[)>\x1e06\x1d1JUN123456789\x1dQ10\x1e\x04"))
    assert envelope["summary"] == {"formats": [{"format": "06", "fields": [{"id": "1J", "value": "UN123456789"},
                                                                          {"id": "Q", "value": "10"}]}]}
    assert pdf417read.parse_document(b"Hello") is None
    cut = pdf417read.parse_document(LICENCE[:40])
    assert cut["type"] == "aamva" and cut["warnings"]
    with pytest.raises(TypeError):
        pdf417read.parse_document("text")
