#include "framework/IEditorDelegate.h"

#include <algorithm>

namespace plugin
{

IEditorDelegate::IEditorDelegate(int nParams) : mParams(4096)
{
  for (int i = 0; i < nParams; ++i)
  {
    auto* param = new IParam();
    if (!mParams.Add(param))
    {
      delete param;
      break;
    }
  }
}

IEditorDelegate::~IEditorDelegate()
{
  mParams.Empty(true);
}

void IEditorDelegate::SetSizeConstraints(int minWidth, int maxWidth, int minHeight, int maxHeight)
{
  mMinWidth = std::min(minWidth, maxWidth);
  mMaxWidth = std::max(minWidth, maxWidth);
  mMinHeight = std::min(minHeight, maxHeight);
  mMaxHeight = std::max(minHeight, maxHeight);
}

void* IEditorDelegate::OpenWindow(void* parent)
{
  (void)parent;
  OnUIOpen();
  return nullptr;
}

void IEditorDelegate::CloseWindow()
{
  OnUIClose();
}

void IEditorDelegate::OnUIOpen()
{
  for (int i = 0; i < NParams(); ++i)
    SendParameterValueFromDelegate(i, GetParam(i)->GetNormalized(), true);
}

void IEditorDelegate::OnParamChange(int paramIdx, EParamSource source, int sampleOffset)
{
  (void)source;
  (void)sampleOffset;
  OnParamChange(paramIdx);
}

void IEditorDelegate::OnParamReset(EParamSource source)
{
  for (int i = 0; i < NParams(); ++i)
  {
    OnParamChange(i, source, -1);
    OnParamChangeUI(i, source);
  }
}

bool IEditorDelegate::OnMessage(int msgTag, int ctrlTag, int dataSize, const void* data)
{
  (void)msgTag;
  (void)ctrlTag;
  (void)dataSize;
  (void)data;
  return false;
}

void IEditorDelegate::OnRestoreState()
{
  for (int i = 0; i < NParams(); ++i)
    SendParameterValueFromDelegate(i, GetParam(i)->GetNormalized(), true);
}

bool IEditorDelegate::OnKeyDown(const IKeyPress& key)
{
  (void)key;
  return false;
}

bool IEditorDelegate::OnKeyUp(const IKeyPress& key)
{
  (void)key;
  return false;
}

void IEditorDelegate::SendControlValueFromDelegate(int ctrlTag, double normalizedValue)
{
  (void)ctrlTag;
  (void)normalizedValue;
}

void IEditorDelegate::SendControlMsgFromDelegate(int ctrlTag, int msgTag, int dataSize, const void* data)
{
  OnMessage(msgTag, ctrlTag, dataSize, data);
}

void IEditorDelegate::SendArbitraryMsgFromDelegate(int msgTag, int dataSize, const void* data)
{
  OnMessage(msgTag, -1, dataSize, data);
}

void IEditorDelegate::SendMidiMsgFromDelegate(const IMidiMsg& msg)
{
  OnMidiMsgUI(msg);
}

void IEditorDelegate::SendSysexMsgFromDelegate(const ISysEx& msg)
{
  OnSysexMsgUI(msg);
}

void IEditorDelegate::SendParameterValueFromDelegate(int paramIdx, double value, bool normalized)
{
  (void)value;
  (void)normalized;
  OnParamChangeUI(paramIdx, kDelegate);
}

void IEditorDelegate::SendParameterValueFromUI(int paramIdx, double normalizedValue, bool notifyPlugin)
{
  (void)notifyPlugin;
  if (IParam* param = GetParam(paramIdx)) param->SetNormalized(normalizedValue);
  OnParamChangeUI(paramIdx, kUI);
}

bool IEditorDelegate::EditorResizeFromUI(int width, int height, bool needsPlatformResize)
{
  (void)width;
  (void)height;
  (void)needsPlatformResize;
  return false;
}

void IEditorDelegate::SendArbitraryMsgFromUI(int msgTag, int ctrlTag, int dataSize, const void* data)
{
  (void)msgTag;
  (void)ctrlTag;
  (void)dataSize;
  (void)data;
}

bool IEditorDelegate::SerializeEditorState(IByteChunk& chunk) const
{
  (void)chunk;
  return true;
}

int IEditorDelegate::UnserializeEditorState(const IByteChunk& chunk, int startPos)
{
  (void)chunk;
  return startPos;
}

} // namespace plugin
