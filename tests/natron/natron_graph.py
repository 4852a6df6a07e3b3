# Natron graph script for the natron tests: ColorBars -> [effect] -> PFM
# writer "Write1", which NatronRenderer then renders (run.sh's -w). Set up
# through the environment:
#   KB_OUT      output file; '#' runs become the frame number (several frames)
#   KB_SIZE     frame size "WxH" (the project format)
#   KB_GEN_SET  generator parameters, "Name=value;..."
#   KB_FX       1 = insert the effect (default), 0 = generator -> writer
#   KB_FX_ID    the effect's identifier
#   KB_SET      effect parameters, "Name=value;..." (a choice takes its index),
#               set in order like a user picking them
#   KB_KEYS     effect keys, "Name=frame:value,frame:value;..."
#   KB_LOOK     a Look file: the Look button is pressed with a stand-in file
#               chooser on PATH that picks this file
#   KB_DUMP     1 = log every effect parameter's value before the render
# Any failure to build the graph exits with status 3, so the run fails.
import os
import stat
import sys
import tempfile

from NatronEngine import natron


def log(*words):
    print("[natron_graph]", *words)
    sys.stdout.flush()


def fail(*words):
    log("ERROR:", *words)
    sys.exit(3)


def number(text):
    try:
        return int(text)
    except ValueError:
        return float(text)


def pairs(variable):
    for item in filter(None, os.environ.get(variable, "").split(";")):
        name, value = item.split("=", 1)
        yield name.strip(), value.strip()


def param(node, name):
    p = node.getParam(name)
    if p is None:
        fail(node.getScriptName(), "has no parameter", name)
    return p


def set_values(node, variable):
    for name, value in pairs(variable):
        p = param(node, name)
        p.setValue(number(value))
        if p.getValue() != number(value):
            fail(name, "did not take", value, "but holds", p.getValue())
        log("set %s = %r" % (name, p.getValue()))


def press_look_button(node, look):
    # The dialog layer runs the first zenity on PATH when a display is named.
    folder = tempfile.mkdtemp(prefix="natron-chooser-")
    chooser = os.path.join(folder, "zenity")
    with open(chooser, "w") as f:
        f.write("#!/bin/sh\nprintf '%%s\\n' '%s'\n" % look)
    os.chmod(chooser, stat.S_IRWXU)
    os.environ["PATH"] = folder
    os.environ["DISPLAY"] = ":99"
    param(node, "LoadLooks").trigger()
    log("pressed LoadLooks with", look)


size = os.environ.get("KB_SIZE", "")
if size:
    w, h = (int(x) for x in size.lower().split("x"))
    app.addFormat("KB_%dx%d %dx%d 1" % (w, h, w, h))
    fmt = app.getProjectParam("outputFormat")
    fmt.setValue(fmt.getNumOptions() - 1)

source = app.createNode("net.sf.openfx.ColorBars")
if source is None:
    fail("no ColorBars generator")
set_values(source, "KB_GEN_SET")

if os.environ.get("KB_FX", "1") == "1":
    fx_id = os.environ.get("KB_FX_ID", "com.kalthorne.KalthorneBrewNatron")
    fx = app.createNode(fx_id)
    if fx is None:
        fail("could not create", fx_id)
    log("created", fx_id, "as", fx.getScriptName())
    fx.connectInput(0, source)
    set_values(fx, "KB_SET")
    for name, keys in pairs("KB_KEYS"):
        p = param(fx, name)
        for key in keys.split(","):
            frame, value = key.split(":")
            p.setValueAtTime(number(value), int(frame))
        log("keyed", name, keys)
    if os.environ.get("KB_LOOK"):
        press_look_button(fx, os.environ["KB_LOOK"])
    if os.environ.get("KB_DUMP") == "1":
        for p in fx.getParams():
            try:
                log("value %s = %r" % (p.getScriptName(), p.getValue()))
            except Exception:
                pass
    source = fx

writer = app.createNode("fr.inria.openfx.WritePFM")
if writer is None:
    fail("no PFM writer")
writer.setScriptName("Write1")
# RGB, not its default RGBA: Natron's conversion of an RGBA frame for this
# writer moves some samples by one unit in the last place.
param(writer, "outputComponents").setValue(1)
param(writer, "filename").setValue(os.environ["KB_OUT"])
writer.connectInput(0, source)
