import flash.display.Graphics;
import flash.display.GradientType;
import flash.display.Sprite;
import flash.display.Stage;
import flash.events.Event;
import flash.events.KeyboardEvent;
import flash.events.MouseEvent;
import flash.geom.Matrix;
import flash.text.TextField;
import flash.text.TextFieldAutoSize;
import flash.text.TextFormat;

/**
 * The little toolbox every game shares: stage size, bright backgrounds,
 * labels, buttons, stars, sparkles and the keys held down.
 * All games are 550 x 400 pixels at 30 frames a second.
 */
class Kit {
	public static inline var W = 550;
	public static inline var H = 400;

	static var down:Map<Int, Bool> = new Map();
	// keys let go of, with the frame they were let go in: a tap shorter than
	// a frame still counts as held for one whole frame
	static var letGo:Map<Int, Int> = new Map();
	static var frame = 0;
	static var watching = false;

	/** Starts a game: puts its root sprite on the stage and lets it get keys. */
	public static function start(game:Sprite):Void {
		var root = flash.Lib.current;
		root.addChild(game);
		var stage = root.stage;
		if (!watching) {
			watching = true;
			stage.addEventListener(KeyboardEvent.KEY_DOWN, function(e:KeyboardEvent) {
				down.set(e.keyCode, true);
				letGo.remove(e.keyCode);
			});
			stage.addEventListener(KeyboardEvent.KEY_UP, function(e:KeyboardEvent) letGo.set(e.keyCode, frame));
			root.addEventListener(Event.ENTER_FRAME, function(_) {
				frame++;
				for (code in [for (k in letGo.keys()) k])
					if (letGo.get(code) < frame - 1) {
						letGo.remove(code);
						down.remove(code);
					}
			});
			// a click anywhere gives the movie the keyboard
			stage.addEventListener(MouseEvent.MOUSE_DOWN, function(_) stage.focus = stage);
		}
		stage.focus = stage;
	}

	public static function stage():Stage {
		return flash.Lib.current.stage;
	}

	public static function isDown(code:Int):Bool {
		return down.exists(code);
	}

	public static function rand(n:Int):Int {
		return Std.int(Math.random() * n);
	}

	public static function pick<T>(a:Array<T>):T {
		return a[rand(a.length)];
	}

	/** Mixed, cheerful colours for balloons, cards and sparks. */
	public static var colours = [0xFF5A5F, 0xFFB400, 0x3CC47C, 0x2D9CDB, 0x9B51E0, 0xFF7AC6, 0xFF8C42, 0x00C2C7];

	/** A vertical two-colour gradient filling the whole stage. */
	public static function sky(g:Graphics, top:Int, bottom:Int, ?w:Int = W, ?h:Int = H):Void {
		var m = new Matrix();
		m.createGradientBox(w, h, Math.PI / 2, 0, 0);
		g.beginGradientFill(GradientType.LINEAR, [top, bottom], [1, 1], [0, 255], m);
		g.drawRect(0, 0, w, h);
		g.endFill();
	}

	/** Draws shapes that overlap, each in a fill of its own: parts of a single
	 * fill that overlap cancel each other out (even-odd filling). */
	public static function fillEach(g:Graphics, colour:Int, parts:Array<Graphics->Void>, alpha:Float = 1):Void {
		for (p in parts) {
			g.beginFill(colour, alpha);
			p(g);
			g.endFill();
		}
	}

	public static function cloud(g:Graphics, x:Float, y:Float, s:Float = 1):Void {
		fillEach(g, 0xFFFFFF, [
			function(g) g.drawCircle(x, y, 18 * s),
			function(g) g.drawCircle(x + 20 * s, y - 10 * s, 22 * s),
			function(g) g.drawCircle(x + 42 * s, y, 18 * s),
			function(g) g.drawRect(x, y - 2 * s, 42 * s, 20 * s)
		]);
	}

	public static function star(g:Graphics, x:Float, y:Float, r:Float, colour:Int, turn:Float = 0):Void {
		g.beginFill(colour);
		for (i in 0...10) {
			var a = turn - Math.PI / 2 + i * Math.PI / 5;
			var rr = (i % 2 == 0) ? r : r * 0.45;
			if (i == 0)
				g.moveTo(x + rr * Math.cos(a), y + rr * Math.sin(a));
			else
				g.lineTo(x + rr * Math.cos(a), y + rr * Math.sin(a));
		}
		g.endFill();
	}

	public static function heart(g:Graphics, x:Float, y:Float, s:Float, colour:Int):Void {
		fillEach(g, colour, [
			function(g) g.drawCircle(x - s * 0.5, y - s * 0.3, s * 0.55),
			function(g) g.drawCircle(x + s * 0.5, y - s * 0.3, s * 0.55),
			function(g) {
				g.moveTo(x - s * 1.02, y - s * 0.1);
				g.lineTo(x, y + s * 1.1);
				g.lineTo(x + s * 1.02, y - s * 0.1);
			}
		]);
	}

	/** A smiling face, used by several games for friendly feedback. */
	public static function smile(g:Graphics, x:Float, y:Float, r:Float, colour:Int):Void {
		g.lineStyle(2, 0x333333);
		g.beginFill(colour);
		g.drawCircle(x, y, r);
		g.endFill();
		g.lineStyle();
		g.beginFill(0x333333);
		g.drawCircle(x - r * 0.35, y - r * 0.2, r * 0.12);
		g.drawCircle(x + r * 0.35, y - r * 0.2, r * 0.12);
		g.endFill();
		g.lineStyle(Math.max(2, r * 0.1), 0x333333);
		g.moveTo(x - r * 0.45, y + r * 0.25);
		g.curveTo(x, y + r * 0.7, x + r * 0.45, y + r * 0.25);
		g.lineStyle();
	}

	public static function label(text:String, size:Int, colour:Int = 0xFFFFFF, bold:Bool = true):TextField {
		var t = new TextField();
		t.defaultTextFormat = new TextFormat("_sans", size, colour, bold);
		t.autoSize = TextFieldAutoSize.LEFT;
		t.selectable = false;
		t.mouseEnabled = false;
		t.text = text;
		return t;
	}

	/** A rounded button with a caption; calls back when clicked. */
	public static function button(caption:String, colour:Int, w:Int, h:Int, onClick:Void->Void):Sprite {
		var b = new Sprite();
		b.graphics.beginFill(0x000000, 0.2);
		b.graphics.drawRoundRect(3, 4, w, h, 18, 18);
		b.graphics.endFill();
		b.graphics.beginFill(colour);
		b.graphics.drawRoundRect(0, 0, w, h, 18, 18);
		b.graphics.endFill();
		var t = label(caption, Std.int(h * 0.5));
		t.x = (w - t.width) / 2;
		t.y = (h - t.height) / 2;
		b.addChild(t);
		b.buttonMode = true;
		b.mouseChildren = false;
		b.addEventListener(MouseEvent.CLICK, function(_) onClick());
		return b;
	}

	/** A burst of little stars that flies apart and fades away. */
	public static function sparkle(parent:Sprite, x:Float, y:Float, colour:Int, count:Int = 10):Void {
		for (i in 0...count) {
			var s = new Sprite();
			star(s.graphics, 0, 0, 7, i % 2 == 0 ? colour : 0xFFF36B);
			s.x = x;
			s.y = y;
			s.mouseEnabled = false;
			var a = i * Math.PI * 2 / count;
			var speed = 3 + Math.random() * 3;
			var vx = Math.cos(a) * speed, vy = Math.sin(a) * speed;
			parent.addChild(s);
			var life = 20;
			var step:Event->Void = null;
			step = function(_) {
				s.x += vx;
				s.y += vy;
				vy += 0.2;
				s.rotation += 12;
				s.alpha = --life / 20;
				if (life <= 0) {
					s.removeEventListener(Event.ENTER_FRAME, step);
					if (s.parent != null)
						s.parent.removeChild(s);
				}
			};
			s.addEventListener(Event.ENTER_FRAME, step);
		}
	}

	/** A score (or any number) shown in a rounded box at the top. */
	public static function scoreBox(parent:Sprite, x:Float, y:Float, colour:Int = 0xFFB400):TextField {
		var box = new Sprite();
		box.graphics.beginFill(0xFFFFFF, 0.85);
		box.graphics.drawRoundRect(0, 0, 110, 40, 16, 16);
		box.graphics.endFill();
		star(box.graphics, 22, 20, 14, colour);
		box.x = x;
		box.y = y;
		box.mouseEnabled = false;
		box.mouseChildren = false;
		var t = label("0", 22, 0x444444);
		t.x = 42;
		t.y = 5;
		box.addChild(t);
		parent.addChild(box);
		return t;
	}

	/** Arrow-key hint drawn with shapes, so it needs no font. */
	public static function arrowHint(g:Graphics, x:Float, y:Float, dirs:Array<Int>):Void {
		// dirs: 0 left, 1 up, 2 right, 3 down
		var i = 0;
		for (d in dirs) {
			var cx = x + i * 34;
			g.beginFill(0xFFFFFF, 0.7);
			g.drawRoundRect(cx, y, 30, 30, 8, 8);
			g.endFill();
			g.beginFill(0x555555);
			var a = [Math.PI, -Math.PI / 2, 0, Math.PI / 2][d];
			var mx = cx + 15, my = y + 15;
			g.moveTo(mx + 9 * Math.cos(a), my + 9 * Math.sin(a));
			g.lineTo(mx + 8 * Math.cos(a + 2.3), my + 8 * Math.sin(a + 2.3));
			g.lineTo(mx + 8 * Math.cos(a - 2.3), my + 8 * Math.sin(a - 2.3));
			g.endFill();
			i++;
		}
	}
}
