#!/usr/bin/python3
"""Rewrites the PP-OCRv4 ONNX graphs into forms that OpenCV 4.6's DNN module
imports and runs correctly.

usage: rewrite_for_opencv.py MODEL_DIR OUT_DIR [--plain]

MODEL_DIR holds ch_PP-OCRv4_det_infer.onnx, ch_PP-OCRv4_rec_infer.onnx and
ppocr_keys_v1.txt. OUT_DIR receives det.onnx, rec.onnx and ppocr_keys_v1.txt.
Needs only onnx and numpy.

Detector: Clip's bounds become attributes (the importer takes only the one
input), and each ConvTranspose's bias Add, with a BatchNormalization that
follows it, is folded into the ConvTranspose's weights. Without the fold a
network that is reused across input sizes returns a wrong map.

Recogniser: the importer rejects Shape on dynamic sizes, so every Shape
chain is folded to constants at a fixed input of 1x3x48xW, twice, at two
widths W; the sizes that differ between the two become -1 in the Reshapes,
so that one graph reads lines of any width. Means over the channels become
products with a constant column, and per-channel constants on [1,T,C]
tensors are applied to a [T,C] view of them: the importer would fix the one
to the width it was imported at and broadcast the other over T.

The recogniser gives the scores ahead of its last softmax, a step's scores
as a row ([1,T,C]) or, where the transpose ahead of the softmax goes with
it, as a column ([1,C,T]); the reader takes the softmax of the ones it needs.

Both are then rewritten for speed on one thread, each rewrite giving the
same outputs up to float rounding (bench/model_bench.sh checks them against
the graphs made with --plain, which leaves these out): batch norms and
constant scales and shifts are folded into the convolutions beside them, the
detector's squeeze-excite x + x*s becomes x*(1+s), 1x1 convolutions that
read only another convolution are merged with it when that is cheaper, the
recogniser's last MatMul becomes a 1x1 convolution, and the detector's input
is declared 1x3x960x960. Two kinds of node become layers the reader
registers with OpenCV: each hard-swish (sorvi.HardSwishTimesSix; OpenCV
4.6's own HardSwish, fused into the convolution ahead of it, takes that off
its fast paths) and each 5x5 depthwise convolution that steps one column at
a time (sorvi.DepthwiseConv5x5); the other 5x5 depthwise convolutions become
four 3x3 ones, the only size OpenCV 4.6 runs fast.
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
# The recogniser's shapes are folded at two line widths; what differs between
# them is what follows the width.
REC_FOLD_WIDTHS = (320, 480)
REC_HEIGHT = 48
DET_DECLARED_INPUT = (1, 3, 960, 960)
# Layers of the reader's own, which it registers with OpenCV as OWN_DOMAIN.OP
# (platform/opencv/hard_swish_layer.h, depthwise_5x5_layer.h).
OWN_DOMAIN = "sorvi"
HARD_SWISH_OP = "HardSwishTimesSix"
DEPTHWISE_5X5_OP = "DepthwiseConv5x5"


class Graph:
    """Constants of a graph, gathered from Constant nodes and initializers."""

    made = 0  # constants made by the rewrites, for unique names

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

    def producer(self, name):
        return next((n for n in self.graph.node if name in n.output), None)

    def is_output(self, name):
        return any(o.name == name for o in self.graph.output)

    def single_consumer(self, name):
        """The one node that reads name, None when it is read by more or is an output."""
        users = self.consumers(name)
        return users[0] if len(users) == 1 and not self.is_output(name) else None

    def bypass(self, node, source):
        """Removes node, its readers reading source instead."""
        for user in self.consumers(node.output[0]):
            for k, name in enumerate(user.input):
                if name == node.output[0]:
                    user.input[k] = source
        self.graph.node.remove(node)

    def new_const(self, hint, value, dtype=np.float32):
        Graph.made += 1
        name = "%s_sorvi%d" % (hint, Graph.made)
        self.set_const(name, np.asarray(value, dtype))
        return name

    def new_shape(self, hint, value):
        return self.new_const(hint, value, np.int64)

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


def rewrite_detector(model, fast=True):
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
    if fast:
        speed_up(model)
        # With its input's size known, OpenCV imports the squeeze-excite
        # products as per-channel scales, not as slow broadcasts; the network
        # still takes any size.
        dims = model.graph.input[0].type.tensor_type.shape.dim
        for dim, value in zip(dims, DET_DECLARED_INPUT):
            dim.Clear()
            dim.dim_value = value
        own_layers(model)
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


# Rewrites for speed: each gives the same outputs up to float rounding.


def per_channel(value, channels):
    """value as one number per channel of a [1,C,H,W] tensor it broadcasts
    onto, or None when it varies along another axis. The folds work in
    double precision, rounding once at the end."""
    value = np.asarray(value, np.float64)
    if value.size == 1:
        return np.full(channels, value.reshape(-1)[0], np.float64)
    if 3 <= value.ndim <= 4 and value.shape[-3] == channels and value.size == channels:
        return value.reshape(channels)
    return None


def conv_parts(g, conv):
    """The weight and bias of a Conv with constant weights, else None."""
    if conv.op_type != "Conv" or conv.input[1] not in g.consts:
        return None
    weight = g.consts[conv.input[1]].astype(np.float64)
    if len(conv.input) > 2 and conv.input[2]:
        if conv.input[2] not in g.consts:
            return None
        bias = g.consts[conv.input[2]].astype(np.float64).reshape(-1)
    else:
        bias = np.zeros(weight.shape[0], np.float64)
    return weight, bias


def set_conv(g, conv, weight, bias):
    weight, bias = weight.astype(np.float32), bias.astype(np.float32)
    conv.input[1] = g.new_const(conv.input[1], weight)
    if len(conv.input) > 2:
        conv.input[2] = g.new_const(conv.output[0] + "_bias", bias)
    else:
        conv.input.append(g.new_const(conv.output[0] + "_bias", bias))


def constant_operand(g, node):
    """(index of the constant input, its value) of a binary node, else None."""
    if node.op_type not in ("Add", "Sub", "Mul", "Div") or len(node.input) != 2:
        return None
    known = [k for k in (0, 1) if node.input[k] in g.consts]
    return (known[0], g.consts[node.input[known[0]]]) if len(known) == 1 else None


def drop_identities(g):
    """Multiplying by one and adding zero (the swish of the recogniser's neck)."""
    for node in list(g.graph.node):
        operand = constant_operand(g, node)
        if operand is None or np.asarray(operand[1]).size != 1:
            continue
        k, value = operand
        neutral = 1.0 if node.op_type in ("Mul", "Div") else 0.0
        if float(np.asarray(value).reshape(-1)[0]) == neutral and (k == 1 or node.op_type in (
                "Mul", "Add")) and not g.is_output(node.output[0]):
            g.bypass(node, node.input[1 - k])


def fold_into_convs(g):
    """Batch norms, and Mul, Div, Add and Sub by per-channel constants, that
    follow a convolution become part of its weights and bias."""
    changed = True
    while changed:
        changed = False
        for conv in list(g.graph.node):
            parts = conv_parts(g, conv)
            user = g.single_consumer(conv.output[0]) if parts else None
            if user is None:
                continue
            weight, bias = parts
            channels = weight.shape[0]
            if user.op_type == "BatchNormalization":
                scale, shift, mean, var = (g.consts[i].astype(np.float64)
                                           for i in user.input[1:5])
                factor = scale / np.sqrt(var + attr(user, "epsilon", 1e-5))
                weight = weight * factor.reshape(-1, 1, 1, 1)
                bias = (bias - mean) * factor + shift
            else:
                operand = constant_operand(g, user)
                value = per_channel(operand[1], channels) if operand else None
                if value is None or (operand[0] == 0 and user.op_type in ("Sub", "Div")):
                    continue
                if user.op_type == "Mul":
                    weight, bias = weight * value.reshape(-1, 1, 1, 1), bias * value
                elif user.op_type == "Div":
                    weight, bias = weight / value.reshape(-1, 1, 1, 1), bias / value
                else:
                    bias = bias + value if user.op_type == "Add" else bias - value
            set_conv(g, conv, weight, bias)
            conv.output[0] = user.output[0]
            g.graph.node.remove(user)
            changed = True


def per_input_channel(values, weight, group):
    """Per-input-channel values laid out like a grouped convolution's weight."""
    out_channels, group_inputs = weight.shape[:2]
    rows = np.arange(out_channels) // (out_channels // group)
    return values.reshape(group, group_inputs)[rows].reshape(out_channels, group_inputs, 1, 1)


def fold_into_next_convs(g):
    """Mul, Div, Add and Sub by per-channel constants that a convolution reads
    (the /6 of the hard-swish, the learnt scale and shift after it) become
    part of its weights and bias. A shift goes into the bias only when the
    convolution pads nothing, since its padding is zero, not the shift;
    otherwise it stays one Add, ahead of the scaled convolution."""
    for conv in list(g.graph.node):
        parts = conv_parts(g, conv)
        if parts is None:
            continue
        weight, bias = parts
        group = attr(conv, "group", 1)
        channels = weight.shape[1] * group
        scale = np.ones(channels, np.float64)
        shift = np.zeros(channels, np.float64)
        chain = []
        source = conv.input[0]
        while True:
            node = g.producer(source)
            operand = constant_operand(g, node) if node is not None else None
            value = per_channel(operand[1], channels) if operand else None
            if (value is None or g.single_consumer(source) is not (chain[-1] if chain else conv)
                    or (operand[0] == 0 and node.op_type in ("Sub", "Div"))):
                break
            if node.op_type == "Mul":
                scale = scale * value
            elif node.op_type == "Div":
                scale = scale / value
            else:
                shift = shift + scale * value * (1 if node.op_type == "Add" else -1)
            chain.append(node)
            source = node.input[1 - operand[0]]
        padded = any(attr(conv, "pads", [0]))
        if not chain or (padded and np.any(scale == 0)):
            continue
        for node in chain:
            g.graph.node.remove(node)
        if padded and np.any(shift != 0):
            add = helper.make_node("Add", [source, g.new_const(
                "shift", (shift / scale).reshape(1, -1, 1, 1))], [conv.input[0]])
            g.graph.node.insert(list(g.graph.node).index(conv), add)
        else:
            bias = bias + (weight * per_input_channel(shift, weight, group)).sum(axis=(1, 2, 3))
            conv.input[0] = source
        set_conv(g, conv, weight * per_input_channel(scale, weight, group), bias)


def merge_pointwise_convs(g):
    """A 1x1 convolution that reads only another convolution becomes one with
    it, when that costs fewer multiplications."""
    for second in list(g.graph.node):
        parts2 = conv_parts(g, second)
        first = g.producer(second.input[0]) if parts2 else None
        parts1 = conv_parts(g, first) if first is not None else None
        if (parts1 is None or g.single_consumer(first.output[0]) is not second
                or parts2[0].shape[2:] != (1, 1) or attr(second, "group", 1) != 1
                or attr(first, "group", 1) != 1 or any(attr(second, "pads", [0]))
                or any(s != 1 for s in attr(second, "strides", [1]))):
            continue
        (w1, b1), (w2, b2) = parts1, parts2
        outer, middle, inner = w2.shape[0], w1.shape[0], w1.shape[1] * np.prod(w1.shape[2:])
        if outer * inner >= middle * (inner + outer):
            continue
        matrix = w2.reshape(outer, middle)
        set_conv(g, first, np.einsum("om,mikl->oikl", matrix, w1), matrix @ b1 + b2)
        first.output[0] = second.output[0]
        g.graph.node.remove(second)


def depthwise_5x5(g, conv):
    """The weight and bias of a 5x5 depthwise convolution padded by 2, else None."""
    parts = conv_parts(g, conv)
    if (parts is None or parts[0].shape[1:] != (1, 5, 5)
            or attr(conv, "group", 1) != parts[0].shape[0]
            or list(attr(conv, "pads", [])) != [2, 2, 2, 2]
            or any(d != 1 for d in attr(conv, "dilations", [1]))):
        return None
    return parts


def steps_one_column(conv):
    return list(attr(conv, "strides", [1, 1]))[1] == 1


def split_depthwise_5x5(g):
    """OpenCV 4.6 has a fast path for 3x3 depthwise convolutions only: a 5x5
    one becomes four 3x3 ones over the kernel's corners, padded unevenly so
    that each reads its own rows and columns, summed. Those that step one
    column at a time are left to the reader's own layer (depthwise_5x5_nodes)."""
    for conv in list(g.graph.node):
        parts = depthwise_5x5(g, conv)
        if parts is None or steps_one_column(conv):
            continue
        weight, bias = parts
        index = list(g.graph.node).index(conv)
        g.graph.node.remove(conv)
        partial = []
        for k, (row, col) in enumerate(((0, 0), (0, 2), (2, 0), (2, 2))):
            kernel = np.zeros(weight.shape[:2] + (3, 3), np.float64)
            rows, cols = (slice(0, 3) if row == 0 else slice(1, 3)), (
                slice(0, 3) if col == 0 else slice(1, 3))
            kernel[:, :, rows, cols] = weight[:, :, row + (row > 0):row + 3,
                                              col + (col > 0):col + 3]
            inputs = [conv.input[0], g.new_const(conv.input[1] + "_part", kernel)]
            if k == 0:
                inputs.append(g.new_const(conv.output[0] + "_bias", bias))
            out = "%s_part%d" % (conv.output[0], k)
            node = helper.make_node("Conv", inputs, [out], group=weight.shape[0],
                                    kernel_shape=[3, 3], pads=[2 - row, 2 - col, row, col],
                                    strides=attr(conv, "strides", [1, 1]))
            g.graph.node.insert(index, node)
            index += 1
            partial.append(out)
        total = partial[0]
        for k, name in enumerate(partial[1:]):
            out = conv.output[0] if k == len(partial) - 2 else "%s_sum%d" % (conv.output[0], k)
            g.graph.node.insert(index, helper.make_node("Add", [total, name], [out]))
            index += 1
            total = out


def scale_by_one_plus(g):
    """x + x*s, the detector's squeeze-excite, becomes x*(1+s): one pass over
    the large tensor instead of two."""
    for add in list(g.graph.node):
        if add.op_type != "Add" or len(add.input) != 2:
            continue
        for k in (0, 1):
            mul = g.producer(add.input[k])
            x = add.input[1 - k]
            if (mul is None or mul.op_type != "Mul" or x not in mul.input
                    or g.single_consumer(mul.output[0]) is not add):
                continue
            s = mul.input[1] if mul.input[0] == x else mul.input[0]
            if s in g.consts:
                continue
            one_plus = s + "_plus_one"
            g.graph.node.insert(list(g.graph.node).index(mul), helper.make_node(
                "Add", [s, g.new_const("one", np.float64(1.0))], [one_plus]))
            mul.input[:] = [x, one_plus]
            mul.output[0] = add.output[0]
            g.graph.node.remove(add)
            break


def head_as_convolution(g):
    """The recogniser's last MatMul and Add over [1,T,C], read from a [1,C,1,T]
    tensor squeezed and transposed, become a 1x1 convolution ahead of the
    squeeze: OpenCV's convolution is faster than its matrix product here."""
    for softmax in list(g.graph.node):
        matmul_add = g.producer(softmax.input[0]) if softmax.op_type == "Softmax" else None
        matmul = g.producer(matmul_add.input[0]) if matmul_add is not None else None
        transpose = g.producer(matmul.input[0]) if matmul is not None else None
        squeeze = g.producer(transpose.input[0]) if transpose is not None else None
        if (squeeze is None or matmul_add.op_type != "Add" or matmul.op_type != "MatMul"
                or transpose.op_type != "Transpose" or squeeze.op_type != "Squeeze"
                or list(attr(transpose, "perm")) != [0, 2, 1] or list(attr(squeeze, "axes")) != [2]
                or matmul.input[1] not in g.consts or matmul_add.input[1] not in g.consts):
            continue
        weight = g.consts[matmul.input[1]].astype(np.float64)
        bias = g.consts[matmul_add.input[1]].astype(np.float64).reshape(-1)
        conv = helper.make_node(
            "Conv", [squeeze.input[0], g.new_const("head_weight", weight.T[:, :, None, None]),
                     g.new_const("head_bias", bias)], ["head_conv"], kernel_shape=[1, 1])
        g.graph.node.insert(list(g.graph.node).index(squeeze), conv)
        squeeze.input[0] = conv.output[0]
        softmax.input[0] = transpose.output[0]
        g.graph.node.remove(matmul)
        g.graph.node.remove(matmul_add)


def hard_swish_nodes(model):
    """x * Clip(x + 3, 0, 6), a hard-swish whose /6 went into the convolution
    after it, becomes one node of the reader's own layer: one pass over the
    tensor where OpenCV's Add, Clip and Mul layers took three. Last of all,
    as shape inference does not see through that node."""
    g = Graph(model)
    for mul in list(g.graph.node):
        if mul.op_type != "Mul" or len(mul.input) != 2:
            continue
        for k in (0, 1):
            clip, x = g.producer(mul.input[k]), mul.input[1 - k]
            add = g.producer(clip.input[0]) if clip is not None and clip.op_type == "Clip" else None
            operand = constant_operand(g, add) if add is not None else None
            if (operand is None or add.op_type != "Add" or add.input[1 - operand[0]] != x
                    or np.asarray(operand[1]).size != 1
                    or float(np.asarray(operand[1]).reshape(-1)[0]) != 3.0
                    or len(clip.input) != 1 or attr(clip, "min") != 0.0
                    or attr(clip, "max") != 6.0
                    or g.single_consumer(add.output[0]) is not clip
                    or g.single_consumer(clip.output[0]) is not mul):
                continue
            node = helper.make_node(HARD_SWISH_OP, [x], [mul.output[0]], domain=OWN_DOMAIN)
            g.graph.node.insert(list(g.graph.node).index(add), node)
            for old in (add, clip, mul):
                g.graph.node.remove(old)
            break
    g.prune()


def depthwise_5x5_nodes(model):
    """5x5 depthwise convolutions that step one column at a time become nodes
    of the reader's own layer. Last of all, as shape inference does not see
    through those nodes."""
    g = Graph(model)
    for conv in list(g.graph.node):
        parts = depthwise_5x5(g, conv)
        if parts is None or not steps_one_column(conv):
            continue
        weight, bias = parts
        node = helper.make_node(
            DEPTHWISE_5X5_OP, [conv.input[0], g.new_const(conv.input[1] + "_5x5", weight),
                               g.new_const(conv.output[0] + "_bias", bias)], [conv.output[0]],
            domain=OWN_DOMAIN, strides=list(attr(conv, "strides", [1, 1])))
        g.graph.node.insert(list(g.graph.node).index(conv), node)
        g.graph.node.remove(conv)
    g.prune()


def own_layers(model):
    hard_swish_nodes(model)
    depthwise_5x5_nodes(model)
    if not any(o.domain == OWN_DOMAIN for o in model.opset_import):
        model.opset_import.append(helper.make_opsetid(OWN_DOMAIN, 1))


def speed_up(model):
    g = Graph(model)
    drop_identities(g)
    fold_into_convs(g)
    fold_into_next_convs(g)
    scale_by_one_plus(g)
    merge_pointwise_convs(g)
    split_depthwise_5x5(g)
    head_as_convolution(g)
    g.prune()
    return model


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


def channel_constants_on_rows(model):
    """Applies per-channel constants on [1,T,C] tensors to a [T,C] view.

    OpenCV's Scale layer broadcasts from axis 1, so on [1,T,C] it would take
    the constant as one value per step; on [T,C] it meets the channels."""
    g = Graph(model)
    shapes = static_shapes(model)
    for node in list(g.graph.node):
        if node.op_type not in ("Add", "Sub", "Mul", "Div") or len(node.input) != 2:
            continue
        for k, name in enumerate(node.input):
            other = node.input[1 - k]
            if name not in g.consts or other in g.consts or other not in shapes:
                continue
            shape = shapes[other]
            if len(shape) != 3 or g.consts[name].size <= 1:
                continue
            rows, out = other + "_rows_" + node.name, node.output[0]
            view = g.new_shape("rows", [-1, shape[2]])
            back = g.new_shape("steps", [1, -1, shape[2]])
            at = list(g.graph.node).index(node)
            node.input[1 - k], node.output[0] = rows, out + "_rows"
            g.graph.node.insert(at, helper.make_node("Reshape", [other, view], [rows]))
            g.graph.node.insert(at + 2, helper.make_node("Reshape", [out + "_rows", back], [out]))
            break
    return model


def means_as_matmuls(model):
    """A mean over the last axis as a product with a column of 1/C: OpenCV
    imports ReduceMean with the shape it was imported at."""
    g = Graph(model)
    shapes = static_shapes(model)
    for node in g.graph.node:
        if node.op_type != "ReduceMean":
            continue
        shape = shapes[node.input[0]]
        assert attr(node, "axes") in ([-1], [len(shape) - 1]) and attr(node, "keepdims", 1) == 1
        column = g.new_const("mean", np.full((shape[-1], 1), 1.0 / shape[-1]))
        node.op_type = "MatMul"
        del node.attribute[:]
        node.input.append(column)
    return model


def width_free_shapes(model, other):
    """Gives the graph folded at one width the shapes of any width: in each
    Reshape (and Squeeze, made a Reshape) the one size that differs from the
    same graph folded at another width becomes -1."""
    g, g_other = Graph(model), Graph(other)
    shapes, other_shapes = static_shapes(model), static_shapes(other)
    for node in g.graph.node:
        if node.op_type == "Reshape":
            here, there = g.consts[node.input[1]], g_other.consts[node.input[1]]
        elif node.op_type in ("Squeeze", "Unsqueeze"):
            assert len(node.input) == 1, node.name
            here = np.array(shapes[node.output[0]], np.int64)
            there = np.array(other_shapes[node.output[0]], np.int64)
            node.op_type = "Reshape"
            del node.attribute[:]
            node.input.append(g.new_shape("shape", here))
        else:
            continue
        if np.array_equal(here, there):
            continue
        assert np.count_nonzero(here != there) == 1, node.name
        g.set_const(node.input[1], np.where(here != there, -1, here).astype(np.int64))
    return model


def constants_as_initializers(model):
    """Moves Constant nodes into initializers so later passes see one kind."""
    g = Graph(model)
    for node in list(g.graph.node):
        if node.op_type == "Constant":
            g.set_const(node.output[0], g.consts[node.output[0]])
    return model


def folded_recogniser(model, width, fast):
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
    if fast:
        # The folds move some probabilities on real lines by up to 4e-4, no
        # more than nudging half the weights by one float step moves them:
        # this graph amplifies rounding that much whichever way it goes.
        speed_up(model)
    return model


def scores_out(model):
    """The last Softmax goes: the reader needs the probability of each step's
    best class only, and computes it faster than OpenCV's Softmax layer over
    all 6625 classes of every step. So does a Transpose of [1,C,T] scores to
    [1,T,C] ahead of it, which OpenCV does slowly and the reader fast."""
    g = Graph(model)
    for out in g.graph.output:
        for op_type in ("Softmax", "Transpose"):
            node = g.producer(out.name)
            if node is None or node.op_type != op_type or (
                    op_type == "Transpose" and list(attr(node, "perm")) != [0, 2, 1]):
                continue
            g.producer(node.input[0]).output[0] = out.name
            g.graph.node.remove(node)


def rewrite_recogniser(model, fast=True):
    """One graph for lines of any width, declared at the first fold width."""
    here, there = (folded_recogniser(model, width, fast) for width in REC_FOLD_WIDTHS)
    width_free_shapes(here, there)
    scores_out(here)
    means_as_matmuls(here)
    channel_constants_on_rows(here)
    Graph(here).prune()
    shapes = static_shapes(here)
    for out in here.graph.output:
        for value in shapes[out.name]:
            out.type.tensor_type.shape.dim.add().dim_value = value
    if fast:
        own_layers(here)
    return here


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("model_dir")
    parser.add_argument("out_dir")
    parser.add_argument("--plain", action="store_true",
                        help="without the rewrites for speed, to compare against")
    args = parser.parse_args(argv[1:])
    os.makedirs(args.out_dir, exist_ok=True)
    for name in os.listdir(args.out_dir):
        if name.startswith("rec_") and name.endswith(".onnx"):
            os.remove(os.path.join(args.out_dir, name))

    det = constants_as_initializers(onnx.load(os.path.join(args.model_dir, DET)))
    onnx.save(rewrite_detector(det, not args.plain), os.path.join(args.out_dir, "det.onnx"))
    rec = onnx.load(os.path.join(args.model_dir, REC))
    onnx.save(rewrite_recogniser(rec, not args.plain), os.path.join(args.out_dir, "rec.onnx"))
    shutil.copyfile(os.path.join(args.model_dir, KEYS), os.path.join(args.out_dir, KEYS))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
