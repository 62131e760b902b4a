import ast
import os
import pathlib
import subprocess
import sys

import pytest

import corvane
import corvane.emulator

REPO = pathlib.Path(__file__).resolve().parents[2]
PACKAGE = REPO / "python" / "corvane"


def stub_members(stub):
    """{class name: set of member names} and the module-level names of a .pyi file."""
    tree = ast.parse(stub.read_text())
    classes, names = {}, set()
    for node in tree.body:
        if isinstance(node, ast.ClassDef):
            classes[node.name] = {n.name for n in node.body
                                  if isinstance(n, (ast.FunctionDef, ast.AnnAssign))
                                  and not isinstance(n, ast.AnnAssign)} | {
                n.target.id for n in node.body
                if isinstance(n, ast.AnnAssign) and isinstance(n.target, ast.Name)} | {
                t.id for n in node.body if isinstance(n, ast.Assign) for t in n.targets}
            names.add(node.name)
        elif isinstance(node, ast.FunctionDef):
            names.add(node.name)
        elif isinstance(node, ast.AnnAssign):
            names.add(node.target.id)
        elif isinstance(node, ast.Assign):
            names.update(t.id for t in node.targets)
    return classes, names


def public(obj):
    return {n for n in dir(obj) if not n.startswith("_")}


@pytest.mark.parametrize("module, stub", [(corvane, "__init__.pyi"),
                                          (corvane.emulator, "emulator.pyi")])
def test_stub_names_everything_the_module_offers(module, stub):
    classes, names = stub_members(PACKAGE / stub)
    assert set(module.__all__) <= names
    for name, members in classes.items():
        runtime = getattr(module, name)
        if isinstance(runtime, type) and issubclass(runtime, BaseException):
            continue
        offered = public(runtime) - {"name", "value"}  # pybind11 enum internals
        for base in runtime.__mro__[1:]:
            if not base.__module__.startswith("corvane"):
                offered -= public(base)  # inherited from Mapping, Iterator, ...
        if hasattr(runtime, "__members__"):
            offered -= set(runtime.__members__) - members  # reported below
            assert set(runtime.__members__) <= members, name
        assert offered <= members, (name, offered - members)


@pytest.mark.parametrize("script, args", [("capture_and_download.py", ["--emulate"]),
                                          ("event_monitor.py", ["--emulate", "3"])])
def test_examples_run_against_the_emulator(script, args, tmp_path):
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(p for p in sys.path if p))
    extra = [str(tmp_path)] if script.startswith("capture") else []
    result = subprocess.run([sys.executable, str(REPO / "examples" / "python" / script),
                             *args, *extra], capture_output=True, text=True, timeout=120, env=env)
    assert result.returncode == 0, result.stderr
    if extra:
        assert [p.suffix for p in tmp_path.iterdir()] == [".JPG"]
    else:
        assert "image stored: QRN_0001.JPG" in result.stdout
        assert "ISO = 800" in result.stdout
