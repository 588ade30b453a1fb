#!/usr/bin/python3
"""Rewrites the PP-OCRv4 ONNX graphs into forms that OpenCV 4.6's DNN module
imports and runs correctly.

usage: rewrite_for_opencv.py MODEL_DIR OUT_DIR [--widths W,W,...]

MODEL_DIR holds ch_PP-OCRv4_det_infer.onnx, ch_PP-OCRv4_rec_infer.onnx and
ppocr_keys_v1.txt. OUT_DIR receives det.onnx, rec_<W>.onnx for each width
bucket and ppocr_keys_v1.txt. Needs only onnx and numpy.

Detector: Clip's bounds become attributes (the importer takes only the one
input), and each ConvTranspose's bias Add, with a BatchNormalization that
follows it, is folded into the ConvTranspose's weights. Without the fold a
network that is reused across input sizes returns a wrong map.

Recogniser: the importer rejects Shape on dynamic sizes, so the input is
fixed to 1x3x48xW (one file per width) and every Shape chain is folded to
constants. Per-channel constants applied to [1,T,C] tensors are widened to
the full tensor, since OpenCV's Scale layer broadcasts only from axis 1.
"""

import argparse
import os
import shutil
import sys

import numpy as np
import onnx
from onnx import helper, numpy_helper, shape_inference

DET = "ch_PP-OCRv4_det_infer.onnx"
REC = "ch_PP-OCRv4_rec_infer.onnx"
KEYS = "ppocr_keys_v1.txt"
# Text lines are resized to height 48 and padded to the smallest bucket that
# holds them; wider lines are read in overlapping chunks of the widest.
WIDTHS = (160, 320, 480, 640, 960)
REC_HEIGHT = 48


class Graph:
    """Constants of a graph, gathered from Constant nodes and initializers."""

    def __init__(self, model):
        self.model = model
        self.graph = model.graph
        self.consts = {t.name: numpy_helper.to_array(t) for t in self.graph.initializer}
        for node in self.graph.node:
            if node.op_type == "Constant" and node.attribute[0].name == "value":
                self.consts[node.output[0]] = numpy_helper.to_array(node.attribute[0].t)

    def consumers(self, name):
        return [n for n in self.graph.node if name in n.input]

    def set_const(self, name, value):
        """Stores value under name as an initializer, dropping the old definition."""
        self.drop_definition(name)
        self.graph.initializer.append(numpy_helper.from_array(np.asarray(value), name))
        self.consts[name] = np.asarray(value)

    def drop_definition(self, name):
        for node in list(self.graph.node):
            if name in node.output:
                self.graph.node.remove(node)
        for tensor in list(self.graph.initializer):
            if tensor.name == name:
                self.graph.initializer.remove(tensor)

    def prune(self):
        """Removes nodes and constants that no graph output depends on."""
        needed = {o.name for o in self.graph.output}
        keep = []
        for node in reversed(self.graph.node):
            if any(o in needed for o in node.output):
                keep.append(node)
                needed.update(i for i in node.input if i)
        del self.graph.node[:]
        self.graph.node.extend(reversed(keep))
        unused = [t for t in self.graph.initializer if t.name not in needed]
        for tensor in unused:
            self.graph.initializer.remove(tensor)


def rewrite_detector(model):
    g = Graph(model)
    for node in g.graph.node:
        if node.op_type == "Clip" and len(node.input) > 1:
            bounds = list(node.input[1:]) + [""] * (3 - len(node.input))
            del node.input[1:]
            for attr, name in zip(("min", "max"), bounds):
                if name:
                    node.attribute.append(helper.make_attribute(attr, float(g.consts[name])))
    for node in list(g.graph.node):
        if node.op_type == "ConvTranspose" and len(node.input) == 2:
            fold_conv_transpose(g, node)
    g.prune()
    return model


def fold_conv_transpose(g, conv):
    """ConvTranspose -> Add(bias) [-> BatchNormalization] becomes one ConvTranspose."""
    weight = g.consts[conv.input[1]].astype(np.float32)
    bias = np.zeros(weight.shape[1] * attr(conv, "group", 1), np.float32)
    folded = []
    users = g.consumers(conv.output[0])
    bias_inputs = [i for i in users[0].input if i in g.consts] if len(users) == 1 else []
    if users[0].op_type == "Add" and bias_inputs:
        bias = bias + g.consts[bias_inputs[0]].reshape(-1)
        folded.append(users[0])
        users = g.consumers(users[0].output[0])
    if folded and len(users) == 1 and users[0].op_type == "BatchNormalization":
        bn = users[0]
        scale, shift, mean, var = (g.consts[i].astype(np.float32) for i in bn.input[1:5])
        eps = attr(bn, "epsilon", 1e-5)
        factor = scale / np.sqrt(var + eps)
        weight = weight * factor.reshape(1, -1, 1, 1)
        bias = (bias - mean) * factor + shift
        folded.append(bn)
    out = folded[-1].output[0] if folded else conv.output[0]
    for node in folded:
        g.graph.node.remove(node)
    w_name, b_name = conv.input[1] + "_folded", conv.output[0] + "_bias"
    g.set_const(w_name, weight.astype(np.float32))
    g.set_const(b_name, bias.astype(np.float32))
    conv.input[1] = w_name
    conv.input.append(b_name)
    conv.output[0] = out


def static_shapes(model):
    inferred = shape_inference.infer_shapes(model, data_prop=True)
    shapes = {}
    for vi in list(inferred.graph.value_info) + list(inferred.graph.input) + list(
            inferred.graph.output):
        dims = vi.type.tensor_type.shape.dim
        if vi.type.tensor_type.HasField("shape") and all(d.HasField("dim_value") for d in dims):
            shapes[vi.name] = [d.dim_value for d in dims]
    return shapes


def attr(node, name, default=None):
    for a in node.attribute:
        if a.name == name:
            return helper.get_attribute_value(a)
    return default


def evaluate(node, args):
    """Numpy value of a shape-arithmetic node whose inputs are all known."""
    op = node.op_type
    if op == "Cast":
        return args[0].astype(onnx.mapping.TENSOR_TYPE_TO_NP_TYPE[attr(node, "to")])
    if op == "Slice":
        if len(args) > 1:
            starts, ends = args[1], args[2]
            axes = args[3] if len(args) > 3 else range(len(starts))
        else:
            starts, ends = attr(node, "starts"), attr(node, "ends")
            axes = attr(node, "axes", range(len(starts)))
        index = [slice(None)] * args[0].ndim
        for axis, start, end in zip(axes, starts, ends):
            index[int(axis)] = slice(int(start), int(end))
        return args[0][tuple(index)]
    if op == "Concat":
        return np.concatenate(args, axis=attr(node, "axis"))
    if op == "Gather":
        return np.take(args[0], args[1], axis=attr(node, "axis", 0))
    if op == "Squeeze":
        return np.squeeze(args[0], axis=tuple(attr(node, "axes")))
    if op == "Unsqueeze":
        return np.expand_dims(args[0], axis=tuple(attr(node, "axes")))
    if op in ("Add", "Sub", "Mul", "Div"):
        fn = {"Add": np.add, "Sub": np.subtract, "Mul": np.multiply, "Div": np.divide}[op]
        return fn(args[0], args[1]).astype(args[0].dtype)
    return None


def fold_shapes(model):
    """Replaces Shape nodes, and the arithmetic on their results, by constants."""
    while True:
        g = Graph(model)
        shapes = static_shapes(model)
        changed = False
        for node in list(g.graph.node):
            if node.op_type == "Constant" or node.output[0] in g.consts:
                continue
            if node.op_type == "Shape" and node.input[0] in shapes:
                value = np.array(shapes[node.input[0]], np.int64)
            elif all(i in g.consts for i in node.input if i):
                value = evaluate(node, [g.consts[i] for i in node.input if i])
            else:
                continue
            if value is not None:
                g.set_const(node.output[0], value)
                changed = True
        if not changed:
            break
    Graph(model).prune()
    return model


def widen_channel_constants(model):
    """Gives per-channel constants on [1,T,C] tensors the tensor's full shape."""
    g = Graph(model)
    shapes = static_shapes(model)
    for node in g.graph.node:
        if node.op_type not in ("Add", "Sub", "Mul", "Div") or len(node.input) != 2:
            continue
        for k, name in enumerate(node.input):
            other = node.input[1 - k]
            if name not in g.consts or other in g.consts or other not in shapes:
                continue
            value, shape = g.consts[name], shapes[other]
            if len(shape) == 3 and value.size > 1 and list(value.shape) != shape:
                wide = np.ascontiguousarray(np.broadcast_to(value, shape))
                node.input[k] = name + "_wide_%d" % shape[1]
                g.graph.initializer.append(numpy_helper.from_array(wide, node.input[k]))
    g.prune()
    return model


def constants_as_initializers(model):
    """Moves Constant nodes into initializers so later passes see one kind."""
    g = Graph(model)
    for node in list(g.graph.node):
        if node.op_type == "Constant":
            g.set_const(node.output[0], g.consts[node.output[0]])
    return model


def rewrite_recogniser(model, width):
    model = onnx.ModelProto.FromString(model.SerializeToString())
    constants_as_initializers(model)
    dims = model.graph.input[0].type.tensor_type.shape.dim
    for dim, value in zip(dims, (1, 3, REC_HEIGHT, width)):
        dim.Clear()
        dim.dim_value = value
    for out in model.graph.output:
        out.type.tensor_type.ClearField("shape")
    del model.graph.value_info[:]
    fold_shapes(model)
    widen_channel_constants(model)
    shapes = static_shapes(model)
    for out in model.graph.output:
        for value in shapes[out.name]:
            out.type.tensor_type.shape.dim.add().dim_value = value
    return model


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("model_dir")
    parser.add_argument("out_dir")
    parser.add_argument("--widths", default=",".join(map(str, WIDTHS)))
    args = parser.parse_args(argv[1:])
    widths = [int(w) for w in args.widths.split(",")]
    os.makedirs(args.out_dir, exist_ok=True)
    for name in os.listdir(args.out_dir):
        if name.startswith("rec_") and name.endswith(".onnx"):
            os.remove(os.path.join(args.out_dir, name))

    det = constants_as_initializers(onnx.load(os.path.join(args.model_dir, DET)))
    onnx.save(rewrite_detector(det), os.path.join(args.out_dir, "det.onnx"))
    rec = onnx.load(os.path.join(args.model_dir, REC))
    for width in widths:
        onnx.save(rewrite_recogniser(rec, width),
                  os.path.join(args.out_dir, "rec_%d.onnx" % width))
    shutil.copyfile(os.path.join(args.model_dir, KEYS), os.path.join(args.out_dir, KEYS))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
