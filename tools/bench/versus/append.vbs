' A text grown by 100,000 appends of one character.
s = ""
For i = 1 To 100000
   s = s & "x"
Next
WScript.Echo Len(s)
